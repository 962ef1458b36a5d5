// The program's error box: "Ошибка" with the error icon, owned by a window.
#pragma once

#include <string>

class QWidget;

// `detail` says why, under the text, when it is not empty.
void showErrorBox(QWidget* owner, const char* text, const std::string& detail = {});
