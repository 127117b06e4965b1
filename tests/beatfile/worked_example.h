#pragma once

#include <QByteArray>
#include <initializer_list>

namespace trovik::testing {

// The beat name, author and info texts a new window shows, an interval of
// 150 and six cells on: bass steps 1, 5, 9, 13 and snare steps 13 and 5.
inline const QByteArray kWorkedExample =
    "\"Beat name here\",\"Author\",\"Info\",150\r\n"
    "\"O\",\"\",\"\",\"\",\"O\",\"\",\"\",\"\"\r\n"
    "\"O\",\"\",\"\",\"\",\"O\",\"\",\"\",\"\",\"\",\"\"\r\n"
    "\"\",\"O\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"O\"\r\n"
    "\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
    "\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n";
constexpr std::initializer_list<int> kWorkedExampleCells{3, 7, 11, 15, 22, 30};

}  // namespace trovik::testing
