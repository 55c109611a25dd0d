// TXIniFile: the INI engine the program uses, with floating-point values.
#pragma once

#include "storage/BigIniFile.h"

// The INI engine plus ReadFloat and WriteFloat.
class TXIniFile : public TBiggerIniFile {
public:
  using TBiggerIniFile::TBiggerIniFile;

  // A decimal number with "." as separator (an exponent allowed); defaultValue otherwise.
  // outOfRange, when given, tells apart a text that is a number no double holds (1e999).
  double ReadFloat(const QString &section, const QString &key, double defaultValue,
                   bool *outOfRange = nullptr);
  // Writes value in the 23-character form " 4.16666666666667E-0002".
  void WriteFloat(const QString &section, const QString &key, double value);
};

// value as 23 characters: sign or blank, 15 significant digits, "E", signed 4-digit exponent.
QString FloatIniText(double value);
