// Replays stored inputs through a harness without libFuzzer, so the corpus
// runs in the ordinary (g++, sanitizer) test build. Arguments are files or
// folders; without any, the harness's own corpus folder is replayed.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

QStringList inputFiles(const QString& path)
{
    QStringList files;
    if (QFileInfo(path).isDir()) {
        QDirIterator it(path, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
        files.sort();
    } else {
        files << path;
    }
    return files;
}

} // namespace

int main(int argc, char** argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    QStringList paths;
    for (int i = 1; i < argc; ++i)
        paths << QString::fromLocal8Bit(argv[i]);
    if (paths.isEmpty())
        paths << QStringLiteral(KANDELO_FUZZ_CORPUS);

    int replayed = 0;
    for (const QString& path : std::as_const(paths)) {
        const QStringList files = inputFiles(path);
        if (files.isEmpty()) {
            std::fprintf(stderr, "no inputs in %s\n", qPrintable(path));
            return 1;
        }
        for (const QString& name : files) {
            QFile file(name);
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(name));
                return 1;
            }
            const QByteArray bytes = file.readAll();
            // An abort inside names the input through this line.
            std::fprintf(stderr, "replaying %s\n", qPrintable(name));
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                   std::size_t(bytes.size()));
            ++replayed;
        }
    }
    std::printf("replayed %d inputs\n", replayed);
    return 0;
}
