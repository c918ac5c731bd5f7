// Cost of the menu kit where a menu grows: building and showing a choice
// popup of 10, 100 and 500 rows (rows, layout and one paint pass), and
// finding items by id on a 300-row page. The lookups walk the page's rows in
// order; they are meant to stay linear at these sizes, so the figure is per
// lookup, beside the page size. No baseline fits a popup the operator waits
// for: each figure is held against a budget per touch (100 ms to a painted
// popup; a lookup runs for every row a message names, 1 us). Build with
// -DKANDELO_BENCH=ON, in Release:
//
//   QT_QPA_PLATFORM=offscreen bench_menukit [repetitions]

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "panel/kit/menuselect.h"
#include "panel/kit/menuwidget.h"

namespace {

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

QPravikMenuItem* addItem(QPravikMenuItems* page, int id, int type)
{
    auto* item = new QPravikMenuItem(id, type, page);
    item->titleLabel->setText(QStringLiteral("Item %1").arg(id));
    page->addItem(item);
    return item;
}

// Milliseconds from the call to a painted popup, median of the repetitions.
double choicePopup(QPravikMenuWidget& menu, QPravikMenuItems* page, int rows, int repetitions)
{
    QPravikMenuItem* item = addItem(page, 1000 + rows, QPravikMenuItem::ChoiceList);
    for (int i = 0; i < rows; ++i)
        item->addChoice(i, QStringLiteral("Choice number %1").arg(i));
    item->setCurrentValue(rows - 1, true, true); // scrolled to the end when shown
    std::vector<double> samples;
    for (int r = 0; r < repetitions; ++r) {
        QElapsedTimer timer;
        timer.start();
        QPravikMenuSelect* select = menu.openSelection(QString(), item, true);
        samples.push_back(timer.nsecsElapsed() / 1e6);
        select->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return median(samples);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int repetitions = argc > 1 ? std::max(1, atoi(argv[1])) : 21;

    QPravikMenuWidget menu;
    menu.setGeometry(0, 0, 800, 480);
    menu.show();
    auto* page = new QPravikMenuItems(1, &menu);
    menu.pushPage(page);
    QCoreApplication::processEvents();

    std::printf("choice popup, build and show (median of %d), against 100 ms per touch:\n", repetitions);
    for (int rows : {10, 100, 500}) {
        const double ms = choicePopup(menu, page, rows, repetitions);
        std::printf("  %4d rows: %8.2f ms, ratio to budget %6.3f\n", rows, ms, ms / 100.0);
    }

    constexpr int pageRows = 300;
    constexpr int lookups = 1000;
    auto* rows = new QPravikMenuItems(2, &menu);
    for (int id = 0; id < pageRows; ++id)
        addItem(rows, id, QPravikMenuItem::ReadOnly);
    std::vector<double> samples;
    int found = 0;
    for (int r = 0; r < repetitions; ++r) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < lookups; ++i)
            found += rows->findItem(i * 7 % pageRows) != nullptr;
        samples.push_back(timer.nsecsElapsed() / 1e3);
    }
    const double total = median(samples);
    std::printf("item lookups on a %d-row page (median of %d):\n", pageRows, repetitions);
    std::printf("  %d lookups: %8.1f us, %.3f us per lookup (%d found), ratio to 1 us budget %6.3f\n", lookups,
                total, total / lookups, found / repetitions, total / lookups);
    return 0;
}
