#include "tst_model.h"

#include <QCoreApplication>
#include <QTest>

// One executable for the model area; each test class runs in turn.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int failed = 0;
    {
        TextConvTest t;
        failed += QTest::qExec(&t, argc, argv);
    }
    {
        RequestHelperTest t;
        failed += QTest::qExec(&t, argc, argv);
    }
    return failed;
}
