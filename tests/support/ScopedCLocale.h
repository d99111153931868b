// Sets the C library's locale for one test, as QApplication does from LANG, and puts the
// old one back: amounts must come out the same under "C" and under a till's pt_BR.UTF-8,
// where the C library writes and reads a decimal comma.
#pragma once

#include <clocale>
#include <string>

class ScopedCLocale {
 public:
  explicit ScopedCLocale(const char* name) : old_(std::setlocale(LC_ALL, nullptr)) {
    ok_ = std::setlocale(LC_ALL, name) != nullptr;
  }
  ~ScopedCLocale() { std::setlocale(LC_ALL, old_.c_str()); }
  ScopedCLocale(const ScopedCLocale&) = delete;
  ScopedCLocale& operator=(const ScopedCLocale&) = delete;

  // False when the locale is not installed (scripts/setup.sh generates pt_BR.UTF-8).
  bool ok() const { return ok_; }
  // The C library's own decimal point now in force.
  static std::string decimalPoint() { return std::localeconv()->decimal_point; }

  static constexpr const char* kTillLocales[] = {"C", "pt_BR.UTF-8"};

 private:
  std::string old_;
  bool ok_ = false;
};
