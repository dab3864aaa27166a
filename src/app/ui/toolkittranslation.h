#pragma once

class QLocale;
class QTranslator;

namespace zorvane {

// Loads the toolkit's own translations (its file dialogs, message boxes and
// standard buttons) for the locale from the folder where the toolkit keeps
// them. False when there are none for that language.
bool loadToolkitTranslation(QTranslator &translator, const QLocale &locale);

} // namespace zorvane
