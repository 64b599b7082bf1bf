// The history archive's tables, and the steps that bring an older file up to date.
#pragma once

#include <vector>

// One schema change: the SQL that turns version toVersion - 1 into toVersion.
// It runs inside the migration's transaction, so it must not begin or end one.
struct SArchiveMigration {
    int toVersion = 0;
    const char* sql = nullptr;
};

// Version 1, the tables of a new archive, its version row included.
extern const char* const kArchiveSchemaV1;

// Every change since version 1, in order; the last one's version is the program's.
std::vector<SArchiveMigration> ArchiveMigrations();

// The version a list of migrations leads to: 1 without any.
int ArchiveSchemaVersion(const std::vector<SArchiveMigration>& migrations);
