// TRxSpinEdit: a whole-number spin edit without limits of its own whose Change signal fires
// only when its value changes: at each step and when the user has finished typing a number
// (Enter, or leaving the field), never at each digit typed.
#pragma once

#include <QSpinBox>

// Spin edit with steps of 1 over the whole int range (until its owner sets a range).
class TRxSpinEdit : public QSpinBox {
  Q_OBJECT
public:
  explicit TRxSpinEdit(QWidget *parent = nullptr);

  int Value() const { return value(); }
  // Writing the value already shown fires nothing.
  void SetValue(int value) { setValue(value); }

signals:
  // The value changed (by a step, by finished typing or by SetValue).
  void Change();
};
