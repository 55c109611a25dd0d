// A flag raised for the length of a scope and lowered however it is left, so that the tick
// and "Jetzt ausführen" never run inside each other, even when an action throws.
#pragma once

// Raises flag on construction and lowers it on destruction.
class TBusyScope {
public:
  explicit TBusyScope(bool &flag) : FFlag(flag) { FFlag = true; }
  ~TBusyScope() { FFlag = false; }
  TBusyScope(const TBusyScope &) = delete;
  TBusyScope &operator=(const TBusyScope &) = delete;

private:
  bool &FFlag;
};
