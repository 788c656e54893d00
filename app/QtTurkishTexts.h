#pragma once
// Qt's own texts (file dialogs, message box buttons) in Turkish, like the rest of the windows.

class QCoreApplication;

// Installs Qt's Turkish translation for the life of the application; false when it is not installed
// on this machine, in which case Qt speaks English.
bool InstallQtTurkishTexts(QCoreApplication& app);
