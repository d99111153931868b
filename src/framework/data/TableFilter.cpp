// A hand-written recursive-descent reader for the few filter forms the screens use.
#include "framework/data/TableFilter.h"

#include "framework/core/Error.h"

namespace fw {

namespace {

class Parser {
 public:
  explicit Parser(const QString& text) : text_(text) {}

  std::unique_ptr<FilterNode> parse() {
    skipBlanks();
    if (pos_ >= text_.size()) return nullptr;
    auto node = parseOr();
    skipBlanks();
    if (pos_ < text_.size()) fail(QStringLiteral("texto inesperado"));
    return node;
  }

 private:
  [[noreturn]] void fail(const QString& what) const {
    throw Error(
        QStringLiteral("Filtro inválido \"%1\": %2 na posição %3.").arg(text_, what).arg(pos_ + 1));
  }

  void skipBlanks() {
    while (pos_ < text_.size() && text_[pos_].isSpace()) ++pos_;
  }

  bool keyword(const char* word) {
    skipBlanks();
    const QLatin1String w(word);
    if (text_.mid(pos_, w.size()).compare(w, Qt::CaseInsensitive) != 0) return false;
    const qsizetype after = pos_ + w.size();
    if (after < text_.size() && (text_[after].isLetterOrNumber() || text_[after] == u'_'))
      return false;
    pos_ = after;
    return true;
  }

  std::unique_ptr<FilterNode> combine(FilterNode::Kind kind, std::unique_ptr<FilterNode> a,
                                      std::unique_ptr<FilterNode> b) {
    auto node = std::make_unique<FilterNode>();
    node->kind = kind;
    node->left = std::move(a);
    node->right = std::move(b);
    return node;
  }

  std::unique_ptr<FilterNode> parseOr() {
    auto node = parseAnd();
    while (keyword("OR")) node = combine(FilterNode::Kind::Or, std::move(node), parseAnd());
    return node;
  }

  std::unique_ptr<FilterNode> parseAnd() {
    auto node = parseUnary();
    while (keyword("AND")) node = combine(FilterNode::Kind::And, std::move(node), parseUnary());
    return node;
  }

  std::unique_ptr<FilterNode> parseUnary() {
    if (keyword("NOT")) return combine(FilterNode::Kind::Not, parseUnary(), nullptr);
    skipBlanks();
    if (pos_ < text_.size() && text_[pos_] == u'(') {
      ++pos_;
      auto node = parseOr();
      skipBlanks();
      if (pos_ >= text_.size() || text_[pos_] != u')') fail(QStringLiteral("falta ')'"));
      ++pos_;
      return node;
    }
    return parseComparison();
  }

  std::unique_ptr<FilterNode> parseComparison() {
    auto node = std::make_unique<FilterNode>();
    skipBlanks();
    if (pos_ < text_.size() && text_[pos_] == u'[') {
      const qsizetype close = text_.indexOf(u']', pos_ + 1);
      if (close < 0) fail(QStringLiteral("falta ']'"));
      node->field = text_.mid(pos_ + 1, close - pos_ - 1).trimmed();
      pos_ = close + 1;
    } else {
      const qsizetype start = pos_;
      while (pos_ < text_.size() && (text_[pos_].isLetterOrNumber() || text_[pos_] == u'_')) ++pos_;
      node->field = text_.mid(start, pos_ - start);
    }
    if (node->field.isEmpty()) fail(QStringLiteral("esperado o nome de um campo"));
    skipBlanks();
    if (text_.mid(pos_, 2) == QLatin1String("<>")) {
      node->notEqual = true;
      pos_ += 2;
    } else if (pos_ < text_.size() && text_[pos_] == u'=') {
      ++pos_;
    } else {
      fail(QStringLiteral("esperado '=' ou '<>'"));
    }
    skipBlanks();
    if (pos_ < text_.size() && text_[pos_] == u'\'') {
      ++pos_;
      QString literal;
      for (;;) {
        if (pos_ >= text_.size()) fail(QStringLiteral("texto entre aspas sem fim"));
        if (text_[pos_] == u'\'') {
          if (pos_ + 1 < text_.size() && text_[pos_ + 1] == u'\'') {
            literal += u'\'';
            pos_ += 2;
            continue;
          }
          ++pos_;
          break;
        }
        literal += text_[pos_++];
      }
      node->literal = literal;
    } else {
      const qsizetype start = pos_;
      while (pos_ < text_.size() &&
             (text_[pos_].isDigit() || text_[pos_] == u'.' || text_[pos_] == u'-' ||
              text_[pos_] == u'+' || text_[pos_] == u'e' || text_[pos_] == u'E'))
        ++pos_;
      if (pos_ == start) fail(QStringLiteral("esperado um valor"));
      node->literal = text_.mid(start, pos_ - start);
    }
    return node;
  }

  const QString& text_;
  qsizetype pos_ = 0;
};

}  // namespace

std::unique_ptr<FilterNode> parseFilter(const QString& text) { return Parser(text).parse(); }

}  // namespace fw
