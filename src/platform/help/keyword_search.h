#pragma once

#include "platform/help/help_index.h"

#include <QList>
#include <QString>

namespace zelvia::rt {

// The keywords that begin with `prefix`, ignoring letter case (Unicode case folding: "ZEL"
// finds "Zelvia", full-width "ＺＥＬ" finds "Ｚｅｌ"), in the order of `keywords`.
// Leading and trailing blanks of the prefix are ignored; an empty prefix lists everything.
QList<HelpKeyword> keywordsStartingWith(const QList<HelpKeyword>& keywords, const QString& prefix);

} // namespace zelvia::rt
