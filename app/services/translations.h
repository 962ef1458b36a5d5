// Qt's own texts (standard buttons, file and print dialogs) in Russian, from
// the distribution's Qt translations; without them Qt's English stays.
#pragma once

class QCoreApplication;

// Installs the Russian translation of Qt's base texts into the application;
// false, quietly, when it is not installed.
bool installQtTranslations(QCoreApplication& application);
