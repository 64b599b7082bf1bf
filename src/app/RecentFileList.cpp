#include "app/RecentFileList.h"

#include "settings/AppProfile.h"

#include <QFileInfo>
#include <QSettings>

namespace {

const QString kSection = QStringLiteral("Recent File List");

QString EntryKey(int index)
{
    return QStringLiteral("File%1").arg(index + 1);
}

} // namespace

void CRecentFileList::ReadList()
{
    m_files.clear();
    QSettings store = OpenSettingsStore();
    store.beginGroup(kSection);
    for (int i = 0; i < m_nSize; ++i) {
        const QString path = store.value(EntryKey(i)).toString();
        if (!path.isEmpty()) {
            m_files.append(path);
        }
    }
}

void CRecentFileList::WriteList() const
{
    QSettings store = OpenSettingsStore();
    store.remove(kSection);
    store.beginGroup(kSection);
    for (int i = 0; i < m_files.size(); ++i) {
        store.setValue(EntryKey(i), m_files.at(i));
    }
    store.endGroup();
    store.sync();
}

void CRecentFileList::Add(const QString& path)
{
    const QString full = QFileInfo(path).absoluteFilePath();
    m_files.removeAll(full);
    m_files.prepend(full);
    while (m_files.size() > m_nSize) {
        m_files.removeLast();
    }
}

void CRecentFileList::Remove(const QString& path)
{
    m_files.removeAll(QFileInfo(path).absoluteFilePath());
}
