// The question both main windows ask before the program ends.
#pragma once

class QWidget;

// True when the operator answers Yes to "Вы действительно желаете завершить работу?".
bool operatorConfirmsQuit(QWidget* parent);
