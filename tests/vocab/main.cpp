#include <QCoreApplication>

int runProtocolKeysTests(int argc, char **argv);
int runValueTextTests(int argc, char **argv);
int runCommandTests(int argc, char **argv);

// One executable for the link's vocabulary: each part is its own test class.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int failed = 0;
    failed += runProtocolKeysTests(argc, argv);
    failed += runValueTextTests(argc, argv);
    failed += runCommandTests(argc, argv);
    return failed;
}
