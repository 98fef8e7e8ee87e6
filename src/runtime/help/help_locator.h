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
//   1. the program's folder (QCoreApplication::applicationDirPath())
//   2. <program's folder>/../share/zelvia/help   (installed layout, whatever the prefix)
//   3. the data folder chosen at build time, <datadir>/zelvia/help
//   4. data/help of the source tree (running from the build tree)
// A name with a folder part is looked up in that folder only.

// "Vistrel.hlp" -> "Vistrel"; the extension is matched without regard to case. Returns an
// empty string for names that cannot name a book ("", ".hlp", ".", "..").
QString bookFolderName(const QString& helpFileName);

// The folders of rules 1 to 4, in order, without duplicates.
QStringList helpSearchFolders();

// The book folder for `helpFileName` in the first of `folders` that holds it, or empty.
QString findHelpBookIn(const QStringList& folders, const QString& helpFileName);

// The book folder for `helpFileName` by the rules above, or an empty string.
QString findHelpBook(const QString& helpFileName);

} // namespace zelvia::rt
