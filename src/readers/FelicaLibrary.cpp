#include "readers/FelicaLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

#include <dlfcn.h>

#include <cstdio>
#include <type_traits>

namespace {

// Stubs standing in for missing exports: each reports failure in the library's own terms.
int FailNoArgs()
{
    return 0;
}

int FailPolling(FelicaPollingRequest*, uint8_t*, FelicaCardInformation*)
{
    return 0;
}

int FailRead(FelicaReadRequest*, FelicaReadResult*)
{
    return 0;
}

int FailErrorTypes(int*, int*)
{
    return 0;
}

int FailText(char*)
{
    return 0;
}

int FailNumber(int*)
{
    return 0;
}

template <auto Member>
void Take(FelicaEntryPoints& entries, void* address)
{
    using Entry = std::remove_reference_t<decltype(entries.*Member)>;
    entries.*Member = reinterpret_cast<Entry>(address);
}

struct ExportSlot {
    const char* name;
    void (*take)(FelicaEntryPoints&, void*);
};

constexpr ExportSlot kExports[] = {
    {"initialize_library", &Take<&FelicaEntryPoints::initialize_library>},
    {"dispose_library", &Take<&FelicaEntryPoints::dispose_library>},
    {"open_reader_writer_auto", &Take<&FelicaEntryPoints::open_reader_writer_auto>},
    {"polling_and_get_card_information", &Take<&FelicaEntryPoints::polling_and_get_card_information>},
    {"read_block_without_encryption", &Take<&FelicaEntryPoints::read_block_without_encryption>},
    {"get_last_error_types", &Take<&FelicaEntryPoints::get_last_error_types>},
    {"get_version_information", &Take<&FelicaEntryPoints::get_version_information>},
    {"get_version_number", &Take<&FelicaEntryPoints::get_version_number>},
    {"reader_writer_is_alive", &Take<&FelicaEntryPoints::reader_writer_is_alive>},
};

// The lib folder beside the program's bin folder: /usr/lib for a program in /usr/bin, and
// in a build tree the folder the build puts the library in.
QString DefaultCommonFiles()
{
    const QString program = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (program.isEmpty())
        return QStringLiteral("/usr/lib");
    return QDir::cleanPath(QFileInfo(program).absolutePath() + QStringLiteral("/../lib"));
}

} // namespace

FelicaEntryPoints::FelicaEntryPoints()
    : initialize_library(&FailNoArgs)
    , dispose_library(&FailNoArgs)
    , open_reader_writer_auto(&FailNoArgs)
    , polling_and_get_card_information(&FailPolling)
    , read_block_without_encryption(&FailRead)
    , get_last_error_types(&FailErrorTypes)
    , get_version_information(&FailText)
    , get_version_number(&FailNumber)
    , reader_writer_is_alive(&FailNumber)
{
}

bool FelicaEntryPoints::CanReadBlocks() const
{
    return read_block_without_encryption != &FailRead && get_last_error_types != &FailErrorTypes;
}

QString FelicaLibraryPath()
{
    QString commonFiles = qEnvironmentVariable("VOLUNI_COMMON_FILES_DIR");
    if (commonFiles.isEmpty())
        commonFiles = DefaultCommonFiles();
    return commonFiles + QStringLiteral("/Sony Shared/FeliCaLibrary/libfelica.so");
}

void* LoadFelicaLibrary(const QString& path, FelicaEntryPoints& entries)
{
    const QByteArray file = QFile::encodeName(path);
    void* hLibrary = dlopen(file.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!hLibrary) {
        // No library installed is an ordinary set-up; one that is there but will not load is worth a line.
        if (QFile::exists(path))
            std::fprintf(stderr, "voluni: cannot load %s: %s\n", file.constData(), dlerror());
        return nullptr;
    }
    for (const ExportSlot& slot : kExports) {
        if (void* address = dlsym(hLibrary, slot.name))
            slot.take(entries, address);
        else
            std::fprintf(stderr, "voluni: %s lacks the export %s\n", file.constData(), slot.name);
    }
    return hLibrary;
}

void UnloadFelicaLibrary(void* hLibrary)
{
    if (hLibrary)
        dlclose(hLibrary);
}
