#pragma once

#include <QTest>

#include <string>

// QCOMPARE on byte strings prints the bytes, escapes included, when they differ.
namespace QTest {
template <> inline char* toString(const std::string& bytes)
{
    return toPrettyCString(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
} // namespace QTest
