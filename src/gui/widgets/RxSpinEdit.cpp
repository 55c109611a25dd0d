#include "gui/widgets/RxSpinEdit.h"

#include <limits>

TRxSpinEdit::TRxSpinEdit(QWidget *parent) : QSpinBox(parent) {
  setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
  setSingleStep(1);
  setAccelerated(true);
  // The first digit of "11" is a value of its own; taken at once it would move whatever
  // follows the field before the number is complete.
  setKeyboardTracking(false);
  // QSpinBox reports only real changes of its value, which is exactly the Change contract.
  connect(this, &QSpinBox::valueChanged, this, [this] { emit Change(); });
}
