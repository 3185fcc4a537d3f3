// How GoogleTest prints the Qt values the widget tests compare, so that a failure
// shows the texts, names and geometry themselves rather than their bytes; and the
// names of a table's rows as test names.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <ostream>
#include <string>

inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* out) {
  *out << '{';
  for (qsizetype i = 0; i < list.size(); ++i) {
    if (i > 0) *out << ", ";
    PrintTo(list[i], out);
  }
  *out << '}';
}

inline void PrintTo(const QByteArray& bytes, std::ostream* out) {
  *out << '"' << bytes.toStdString() << '"';
}

inline void PrintTo(const QRect& rect, std::ostream* out) {
  *out << '(' << rect.x() << ", " << rect.y() << ", " << rect.width() << 'x' << rect.height()
       << ')';
}

inline void PrintTo(const QSize& size, std::ostream* out) {
  *out << size.width() << 'x' << size.height();
}

namespace velkar::test {

// A row's description as a test name: its words run together, each capitalised,
// everything but letters and digits dropped ("key kind, other box" -> KeyKindOtherBox).
inline std::string RowName(const char* description) {
  std::string name;
  bool wordStart = true;
  for (const char* p = description; *p != '\0'; ++p) {
    const char c = *p;
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (c == '\'') continue;  // "a page's box" -> APagesBox
    if (!alnum) {
      wordStart = true;
      continue;
    }
    name += wordStart && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    wordStart = false;
  }
  return name;
}

// For INSTANTIATE_TEST_SUITE_P over rows that have a `description`.
template <typename Row>
std::string RowTestName(const ::testing::TestParamInfo<Row>& row) {
  return RowName(row.param.description);
}

}  // namespace velkar::test
