#pragma once

#include <QTest>

#include <iterator>

// Data-driven QtTest cases over a table of row structs: the data function adds
// one row per entry, named by its `name`, and the test reads QFETCH(int, row).
template <class Table>
void indexRows(const Table& table)
{
    QTest::addColumn<int>("row");
    for (std::size_t i = 0; i < std::size(table); ++i)
        QTest::newRow(table[i].name) << int(i);
}
