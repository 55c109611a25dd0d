// TRxSpinEdit: a whole-number spin edit without limits whose Change signal fires only when
// the value it shows changes.
#pragma once

#include <QSpinBox>

// Spin edit with steps of 1 over the whole int range.
class TRxSpinEdit : public QSpinBox {
  Q_OBJECT
public:
  explicit TRxSpinEdit(QWidget *parent = nullptr);

  int Value() const { return value(); }
  // Writing the value already shown fires nothing.
  void SetValue(int value) { setValue(value); }

signals:
  // The shown value changed (by the user or by SetValue).
  void Change();
};
