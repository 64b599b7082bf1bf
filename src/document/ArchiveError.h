// Typed failures of entry files, and the one place that turns them into the user's message.
#pragma once

#include <QString>

#include <exception>
#include <stdexcept>

// A failure while reading or writing the archive encoding of an entry file.
class CArchiveError : public std::runtime_error {
public:
    enum class Kind {
        NoCause,    // storing a document that holds nothing
        Generic,    // a text length beyond what a text may hold, or a failed write
        EndOfFile,  // the data ends inside a field
        BadIndex,   // the header text names no known version
    };

    explicit CArchiveError(Kind kind);
    Kind GetKind() const { return m_kind; }

private:
    Kind m_kind;
};

// A file that could not be opened, created or committed at all.
class CFileError : public std::runtime_error {
public:
    CFileError(const QString& path, const QString& reason);
    const QString& GetPath() const { return m_strPath; }
    const QString& GetReason() const { return m_strReason; }

private:
    QString m_strPath;
    QString m_strReason;
};

// The text shown for a failed open (bSaving false) or save (bSaving true).
// Anything that is not a known entry-file failure gets the general text of
// that direction, as running out of memory does.
QString DocumentErrorText(std::exception_ptr error, bool bSaving);

// Shows DocumentErrorText through the program's message presenter.
void ReportDocumentError(std::exception_ptr error, bool bSaving);
