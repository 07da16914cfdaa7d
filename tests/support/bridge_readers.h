#pragma once
// Reading back what the bridge window shows: the lamp on the Connect button by its colour name,
// the rows of the port list, and the connection log as "TAG|text" entries.

#include <QString>
#include <QStringList>

class KelvoBridge;

namespace test {

// The colour name of the lamp drawn on the Connect button ("red", "amber", "green", "grey"),
// "none" without one, "other" for any other picture.
[[nodiscard]] QString lampOf(const KelvoBridge &window);

// The rows of the port list, in order.
[[nodiscard]] QStringList portRows(const KelvoBridge &window);

// Every line of the connection log so far; none while no log window is open.
[[nodiscard]] QStringList logLines();
// The log's entries as "TAG|text", without the time stamp; a text that holds line ends stays
// one entry.
[[nodiscard]] QStringList logEntries(const QString &dateText);
// Empties the log, when a log window is open; opens none.
void clearLog();

} // namespace test
