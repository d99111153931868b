// The demo data maker, compiled into the module tests for FormFixture.
#include "tools/demo/DemoData.cpp"  // NOLINT(bugprone-suspicious-include)
