#include "panel/pages/qpravikbanner.h"

#include <QGridLayout>
#include <QLabel>

#include "panel/kit/rowlabel.h"

namespace {

QLabel* bannerLabel(QWidget* parent, QGridLayout* grid, int row, int column)
{
    // Line texts carry numbers and names from the unit.
    QLabel* label = elidedLabel(parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Filled with the banner's grey, as the banner below it is: a label that
    // lets the banner show through is painted a second time with the banner
    // when both change at once.
    label->setAutoFillBackground(true);
    grid->addWidget(label, row, column);
    return label;
}

} // namespace

QPravikBanner::QPravikBanner(QWidget* parent)
    : QWidget(parent)
{
    setAutoFillBackground(true);
    setupUi();
}

void QPravikBanner::setupUi()
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(50, 50, 50));
    palette.setColor(QPalette::WindowText, Qt::white);
    setPalette(palette);
    QFont font = this->font();
    font.setPixelSize(14);
    font.setWeight(QFont::Normal);
    setFont(font);

    grid = new QGridLayout(this);
    grid->setContentsMargins(10, 2, 10, 2);
    grid->setHorizontalSpacing(10);
    grid->setColumnStretch(0, 0);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(0, 1);
    grid->setRowStretch(1, 1);
    grid->setAlignment(Qt::AlignTop);
    caption1 = bannerLabel(this, grid, 0, 0);
    caption2 = bannerLabel(this, grid, 1, 0);
    text1 = bannerLabel(this, grid, 0, 1);
    text2 = bannerLabel(this, grid, 1, 1);
}

void QPravikBanner::setProgramMode(int flags, int mode)
{
    const bool shared = flags == 2 || flags == 4;
    const bool stereo = mode != 0 && (shared || flags == 0x20 || flags == 0x40);
    const bool single = shared || flags == 1;
    caption1->setText(mode == 0 && shared ? tr("Program / Coord") : stereo ? tr("Prog. L/R") : tr("Program"));
    caption2->setText(single ? QStringLiteral("- - -") : tr("Coord"));
    caption2->setAlignment(single ? Qt::AlignHCenter | Qt::AlignTop : Qt::AlignLeft | Qt::AlignTop);
    text2->setVisible(!single);
}

void QPravikBanner::setLinkState(int line, int state)
{
    BannerLine& r = recordOf(line);
    if (r.state == state)
        return;
    r.state = state;
    updateLine(line);
}

void QPravikBanner::setLineTexts(int line, const QString& first, const QString& second)
{
    BannerLine& r = recordOf(line);
    if (r.first == first && r.second == second)
        return;
    r.first = first;
    r.second = second;
    updateLine(line);
}

void QPravikBanner::setLineExtra(int line, const QString& extra)
{
    BannerLine& r = recordOf(line);
    if (r.extra == extra)
        return;
    r.extra = extra;
    updateLine(line);
}

void QPravikBanner::updateLine(int line)
{
    const BannerLine& r = recordOf(line);
    QString state;
    switch (r.state) {
    case 3: state = tr("Connecting"); break;
    case 6: state = tr("Releasing"); break;
    case 4:
    case 5: state = tr("Connected"); break;
    default: state = tr("Idle"); break;
    }
    QString text = r.first + QStringLiteral(" / ") + r.second + QLatin1Char('\n') + state;
    if (!r.extra.isEmpty())
        text += QStringLiteral(" / ") + r.extra;
    (line == 1 ? text1 : text2)->setText(text);
}
