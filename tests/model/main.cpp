#include "tst_model.h"

#include <QCoreApplication>
#include <QTest>

namespace {
template <class T>
int run(int argc, char** argv)
{
    T test;
    return QTest::qExec(&test, argc, argv);
}
}

// One executable for the model area; each test class runs in turn.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int failed = 0;
    failed += run<TextConvTest>(argc, argv);
    failed += run<RequestHelperTest>(argc, argv);
    failed += run<ControllerTest>(argc, argv);
    failed += run<EthernetTest>(argc, argv);
    failed += run<IsdnTest>(argc, argv);
    return failed;
}
