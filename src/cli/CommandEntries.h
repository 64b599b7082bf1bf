// What the tool's commands share: reporting a failure, and getting the entries
// from a card (the read command's way) or from an entry file (the show command's).
#pragma once

class CAppProfile;
class CCorvaneDoc;
class CEntryInfoData;
class CHistoryArchive;
class QCommandLineParser;
#include "readers/CardReadAttempt.h"

#include <QString>

#include <cstddef>

struct SCardSummary;

// What a read did to the archive, for a caller that tells of it itself.
struct SReadArchiving {
    bool bArchived = false;
    QString strError;   // the archive's LastError() when not archived
    size_t nAdded = 0;  // records new to the archive
};

void Fail(const QString& message);
// The viewer's settings, with --database in place of its station database.
void LoadCommandProfile(const QCommandLineParser& parser, CAppProfile& profile);
// Reports a usage error and returns its exit code.
int Usage(const QString& message);

// Reads the card (or --card-image on the simulated reader) and names its
// entries into data. Returns EXIT_OK or the exit code of the reported failure.
// With an archive, the oldest entry's amount may come from it and a successful
// read is merged into it; an archive that fails is reported and changes neither
// the entries nor the exit code.
int ReadCardEntries(const QCommandLineParser& parser, CEntryInfoData& data, SCardSummary& summary,
                    CHistoryArchive* archive = nullptr);
// The read of the card on the reader in use, as read and watch share it: the viewer's
// settings with --database and --polling-time, the person's station names, the archive's
// fare before the oldest entry. wait is the wait for the card (empty: the wait without a
// window, the thread sleeping between attempts). A read failure is reported and its exit
// code returned; with archive, a successful read is merged and the merge left in
// archiving, unsaid, with its new gaps in summary.
int ReadArchivedCard(const QCommandLineParser& parser, CEntryInfoData& data, SCardSummary& summary,
                     CHistoryArchive* archive, const CardWaitFunction& wait, SReadArchiving& archiving);
// Opens an entry file into document. Returns EXIT_OK or EXIT_FILE, reported.
int OpenEntryFile(const QString& path, CCorvaneDoc& document);
// The same, with the person's station names (as --archive finds them) over the file's.
int OpenNamedEntryFile(const QCommandLineParser& parser, const QString& path, CCorvaneDoc& document);
// Either of the two, as the arguments ask: one FILE.ent, or --card-image IMG.
int LoadCommandEntries(const QCommandLineParser& parser, CCorvaneDoc& document);
