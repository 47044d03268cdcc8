#pragma once
// The block of manager pointers the host hands to the module at start-up, so that the module
// adopts the host's managers and both sides share one device, one image cache and one font set.
// The order of the members is shared with the host and must not change: each side reads the
// block by position.

class KelEngineCL;
class KelFontManagerCL;
class KelLoadSystemCL;
class KelRenderStateManagerCL;
class KelResourceManagerCL;
class KelScreenManagerCL;
class KelSystemCL;
class KelTextureInfoManagerCL;
class KelUIManagerCL;
class KelMusicManagerCL;
class KelSoundEngineCL;
class KelCriticalSectionManagerCL;
class KelLogCL;
class KelConsoleCL;

struct EnginePointerBlock
{
    KelEngineCL* engine;                           // 0: the engine root
    KelFontManagerCL* fontManager;                 // 1
    KelLoadSystemCL* loadSystem;                   // 2: the background texture loader
    KelRenderStateManagerCL* renderStateManager;   // 3
    KelResourceManagerCL* resourceManager;         // 4: the image cache
    KelScreenManagerCL* screenManager;             // 5
    KelSystemCL* system;                           // 6
    KelTextureInfoManagerCL* textureInfoManager;   // 7
    KelUIManagerCL* uiManager;                     // 8
    KelMusicManagerCL* musicManager;               // 9: streamed music
    KelSoundEngineCL* soundEngine;                 // 10
    KelCriticalSectionManagerCL* criticalSections; // 11
    KelLogCL* log;                                 // 12
    KelConsoleCL* console;                         // 13: the debug console
};

static_assert(sizeof(EnginePointerBlock) == 14 * sizeof(void*),
              "the block is 14 pointers and nothing else");
