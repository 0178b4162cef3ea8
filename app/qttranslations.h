#pragma once

// Loads Qt's own Simplified Chinese texts (the buttons of message boxes among them) from the
// Qt installation, so the window's few borrowed words match its own. Without them Qt's English
// texts stay.
void loadQtTranslations();
