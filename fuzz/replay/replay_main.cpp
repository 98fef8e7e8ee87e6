// Runs a fuzz target's entry point over files and folders given on the command line, without
// libFuzzer: the normal build replays the seed corpus and every kept crash input this way.
#include <QByteArray>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cstdint>
#include <cstdio>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

constexpr int kSkipped = 77; // CTest's SKIP_RETURN_CODE

std::vector<QString> inputsUnder(const QString& path) {
    std::vector<QString> files;
    const QFileInfo info(path);
    if (info.isFile()) {
        files.push_back(path);
        return files;
    }
    QDirIterator it(path, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        if (!it.fileName().startsWith(QLatin1Char('.'))) {
            files.push_back(file);
        }
    }
    return files;
}

} // namespace

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize != nullptr) {
        LLVMFuzzerInitialize(&argc, &argv);
    }
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const QString path = QFile::decodeName(argv[i]);
        if (!QFileInfo::exists(path)) {
            std::printf("skipping %s: not found\n", argv[i]);
            continue;
        }
        for (const QString& file : inputsUnder(path)) {
            QFile f(file);
            if (!f.open(QIODevice::ReadOnly)) {
                std::printf("cannot read %s\n", qPrintable(file));
                return 1;
            }
            const QByteArray bytes = f.readAll();
            std::printf("%s\n", qPrintable(file));
            std::fflush(stdout);
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                   static_cast<std::size_t>(bytes.size()));
            ++replayed;
        }
    }
    std::printf("replayed %d inputs\n", replayed);
    return replayed == 0 ? kSkipped : 0;
}
