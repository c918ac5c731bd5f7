#pragma once

#include <QString>
#include <QWidget>

class QGridLayout;
class QLabel;

// The main page's call banner: per line a caption and two rows of text (the
// line's network and coding, then its state word and the remote number).
// Keeps what it was last given and redraws a line only when that changes.
class QPravikBanner : public QWidget
{
    Q_OBJECT
public:
    struct BannerLine
    {
        explicit BannerLine(int line) : line(line) {}
        const int line;
        int state = 0; // the line's link state, as the status strip takes it
        QString first;
        QString second;
        QString extra;
    };

    explicit QPravikBanner(QWidget* parent = nullptr);

    void setProgramMode(int modeFlags, int operationMode);
    // Line 1 selects line 1, any other value line 2.
    void setLinkState(int line, int state);
    void setLineTexts(int line, const QString& first, const QString& second);
    void setLineExtra(int line, const QString& extra);
    void updateLine(int line);

    const BannerLine& record(int line) const { return line == 1 ? line1 : line2; }

    QGridLayout* grid = nullptr;
    QLabel* caption1 = nullptr;
    QLabel* caption2 = nullptr;
    QLabel* text1 = nullptr;
    QLabel* text2 = nullptr;

private:
    void setupUi();
    BannerLine& recordOf(int line) { return line == 1 ? line1 : line2; }

    BannerLine line1{1};
    BannerLine line2{2};
};
