#pragma once

#include <QString>
#include <QStringList>

namespace zelvia::rt {

// The program registers its help under the legacy file name "Vistrel.hlp". Its converted
// equivalent is an HTML help book: the folder named after the file without its ".hlp"
// extension ("Vistrel"), holding index.html and the index files (see help_index.h).
//
// A bare file name is looked up in these folders, in order; the first that holds
// <folder>/<stem>/index.html wins:
//   - the program's folder (QCoreApplication::applicationDirPath())
//   - <program's folder>/../share/zelvia/help: the installed layout, whatever the prefix, and
//     the build tree, which mirrors it
//   - the data folder chosen at build time, <datadir>/zelvia/help
//   - folders added with addHelpSearchFolder (tests point it at their own book)
// A name with a folder part is looked up in that folder only. The program never looks in the
// source tree it was built from: an installed copy must not depend on the build machine.

// "Vistrel.hlp" -> "Vistrel"; the extension is matched without regard to case. Returns an
// empty string for names that cannot name a book ("", ".hlp", ".", "..").
QString bookFolderName(const QString& helpFileName);

// The folders above, in order, without duplicates.
QStringList helpSearchFolders();

// Adds a folder to search after the others, for the rest of the process.
void addHelpSearchFolder(const QString& folder);

// The book folder for `helpFileName` in the first of `folders` that holds it, or empty.
QString findHelpBookIn(const QStringList& folders, const QString& helpFileName);

// The book folder for `helpFileName` by the rules above, or an empty string.
QString findHelpBook(const QString& helpFileName);

} // namespace zelvia::rt
