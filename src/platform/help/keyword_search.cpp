#include "platform/help/keyword_search.h"

namespace zelvia::rt {

QList<HelpKeyword> keywordsStartingWith(const QList<HelpKeyword>& keywords, const QString& prefix) {
    // toCaseFolded folds full-width Latin letters as well, which a Japanese keyboard may type.
    const QString folded = prefix.trimmed().toCaseFolded();
    QList<HelpKeyword> matches;
    for (const HelpKeyword& entry : keywords) {
        if (entry.keyword.toCaseFolded().startsWith(folded)) {
            matches.append(entry);
        }
    }
    return matches;
}

} // namespace zelvia::rt
