// The operator dialogs package: puts the search dialog (and its preparation ahead of the
// first search), the numeric keypad, the customer-data dialog and the tax approximation
// into the procedure variables of src/outside. The host calls install() once at start.
#pragma once

namespace dialogs {

void install();
// Empties those procedure variables again.
void uninstall();

}  // namespace dialogs
