#pragma once

#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace zelvia::test {

// The shared corpus folder, or nothing when it is absent (tests then skip with a message).
std::optional<QString> corpusDir();

struct CorpusEntry {
    QString path;    // absolute path
    QString relPath; // as in MANIFEST.tsv
    QString expect;  // valid, invalid or unknown
    QString dims;    // "WxH" or empty
    QString notes;
};

// Names the entry in a test's output.
void PrintTo(const CorpusEntry& entry, std::ostream* out);

// The rows of MANIFEST.tsv whose path starts with `prefix` (e.g. "bmp/").
std::vector<CorpusEntry> corpusEntries(const QString& prefix);

// A test case's name for a corpus file: its relative path with every other character than a
// letter or digit made '_'.
std::string caseNameOf(const QString& relPath);

// Files MANIFEST.tsv marks valid that the program refuses, each with the reason. Any other
// valid file refused fails the corpus tests, and so does a file listed here that loads.
const std::map<QString, QString>& knownRefusals();

// Valid files the program draws otherwise than the reference decoder (more than 2 levels
// apart on average or 16 at a pixel), each with the reason; the differential test fails
// on any other, and on a file listed here that it finds drawn the same.
const std::map<QString, QString>& knownDifferences();

} // namespace zelvia::test

#define ZELVIA_REQUIRE_CORPUS(var)                                                                 \
    const auto var##_opt = ::zelvia::test::corpusDir();                                            \
    if (!var##_opt) {                                                                              \
        GTEST_SKIP() << "shared test corpus not found (expected ../shared/corpus beside the "      \
                        "repository); skipping";                                                   \
    }                                                                                              \
    const QString var = *var##_opt
