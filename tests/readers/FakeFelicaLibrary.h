// Puts the fake vendor library where the module looks for it, for the life of one object,
// and gives the test its controls.
#pragma once

#include "fake/FakeFelica.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <string>

class CFakeFelicaLibrary {
public:
    CFakeFelicaLibrary()
    {
        setenv("VOLUNI_COMMON_FILES_DIR", VOLUNI_FAKE_COMMON_FILES, 1);
        // Held open here, so the state lives on across the modules that load and unload it.
        const std::string path = VOLUNI_FAKE_COMMON_FILES "/Sony Shared/FeliCaLibrary/libfelica.so";
        m_hFake = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!m_hFake) {
            ADD_FAILURE() << "fake library does not load: " << dlerror();
            return;
        }
        auto state = reinterpret_cast<FakeFelicaStateFn>(dlsym(m_hFake, "fake_felica_state"));
        m_pState = state();
        *m_pState = FakeFelicaState{};
    }

    ~CFakeFelicaLibrary()
    {
        unsetenv("VOLUNI_COMMON_FILES_DIR");
        if (m_hFake)
            dlclose(m_hFake);
    }

    CFakeFelicaLibrary(const CFakeFelicaLibrary&) = delete;
    CFakeFelicaLibrary& operator=(const CFakeFelicaLibrary&) = delete;

    // Modules made from now on find no library.
    void Remove() { setenv("VOLUNI_COMMON_FILES_DIR", m_empty.path().toLocal8Bit().constData(), 1); }
    // Modules made from now on find a library without read_block_without_encryption,
    // get_version_information and reader_writer_is_alive.
    void UsePartial() { setenv("VOLUNI_COMMON_FILES_DIR", VOLUNI_PARTIAL_COMMON_FILES, 1); }

    FakeFelicaState& State() { return *m_pState; }

private:
    QTemporaryDir m_empty;
    void* m_hFake = nullptr;
    FakeFelicaState* m_pState = nullptr;
};
