// The demo data maker, compiled into the end-to-end tests: each sale runs on a fresh copy.
#include "tools/demo/DemoData.cpp"  // NOLINT(bugprone-suspicious-include)
