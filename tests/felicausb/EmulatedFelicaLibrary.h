// Puts the test build of the FeliCa library where the module looks for it, for the life of
// one object, and hands out its emulator with no reader plugged in.
#pragma once

#include "UsbEmulator.h"

#include <dlfcn.h>

#include <cstdlib>
#include <string>

class CEmulatedFelicaLibrary {
public:
    static constexpr const char* kCommonFiles = VOLUNI_USB_COMMON_FILES;

    CEmulatedFelicaLibrary()
    {
        setenv("VOLUNI_COMMON_FILES_DIR", kCommonFiles, 1);
        // Held open here, so the emulator lives on across the modules that load and unload it.
        const std::string path = std::string(kCommonFiles) + "/Sony Shared/FeliCaLibrary/libfelica.so";
        m_hLibrary = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!m_hLibrary)
            return;
        if (auto emulator = reinterpret_cast<UsbEmulatorFn>(dlsym(m_hLibrary, "usb_emulator")))
            m_pEmulator = emulator();
        if (m_pEmulator)
            m_pEmulator->Clear();
    }

    ~CEmulatedFelicaLibrary()
    {
        unsetenv("VOLUNI_COMMON_FILES_DIR");
        if (m_hLibrary)
            dlclose(m_hLibrary);
    }

    CEmulatedFelicaLibrary(const CEmulatedFelicaLibrary&) = delete;
    CEmulatedFelicaLibrary& operator=(const CEmulatedFelicaLibrary&) = delete;

    bool Loaded() const { return m_pEmulator != nullptr; }
    CUsbEmulator& Emulator() { return *m_pEmulator; }

private:
    void* m_hLibrary = nullptr;
    CUsbEmulator* m_pEmulator = nullptr;
};

inline CCardImage LoadCardImage(const char* name)
{
    CCardImage card;
    card.LoadFile(QStringLiteral(VOLUNI_USB_FIXTURES "/") + QString::fromLatin1(name));
    return card;
}
