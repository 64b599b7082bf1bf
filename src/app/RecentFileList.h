// The recent-file list kept in the settings store (section "Recent File List").
#pragma once

#include <QStringList>

class CRecentFileList {
public:
    explicit CRecentFileList(int size = 0) : m_nSize(size) {}

    void ReadList();
    // Rewrites the section: File1 is the newest; empty places are not written.
    void WriteList() const;
    // Puts a file first, once, dropping the oldest beyond the list's size.
    void Add(const QString& path);
    void Remove(const QString& path);
    const QStringList& Files() const { return m_files; }

private:
    int m_nSize;
    QStringList m_files;
};
