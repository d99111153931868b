// TableFilter: reads a local table's filter text into a small expression tree.
// Grammar: comparisons `FIELD = 'literal'` / `FIELD <> 'literal'` (a quote inside the
// literal written doubled, a number literal unquoted), combined with AND, OR, NOT and
// parentheses. Field names may be written in brackets: [NOME DO CAMPO].
#pragma once

#include <QString>
#include <memory>

namespace fw {

struct FilterNode {
  enum class Kind { Compare, And, Or, Not };
  Kind kind = Kind::Compare;
  // Compare
  QString field;
  bool notEqual = false;
  QString literal;
  // And / Or / Not (Not uses `left`)
  std::unique_ptr<FilterNode> left;
  std::unique_ptr<FilterNode> right;
};

// Throws fw::Error naming the filter text and the position when it cannot be read.
// An empty (or blank) text gives nullptr: no filter.
std::unique_ptr<FilterNode> parseFilter(const QString& text);

}  // namespace fw
