#include "SeatSocialTables.h"

#include <cstdio>

namespace
{
// The folder of the faces' voices and the props' sounds below the host's sound folder.
const char kEffectFolder[] = "effect\\ogg\\";

const SeatFace kFaces[kSeatFaceCount] = {
    {"早上好", "“大家早上好啊～～！”", "蹦出来跟大家打了招呼“大家早上好啊～～！”", nullptr, nullptr},
    {"哈哈", "“哈哈哈，你太有才了！”", "大笑“哈哈哈，你太有才了！”", nullptr, nullptr},
    {"呵呵", "“呵呵，这可真有意思~”", "感到很开心“呵呵，这个可真好笑！”", nullptr, nullptr},
    {"骂死你", "“@#$#%#。。。”", "破口大骂“@#$#%#。。。", nullptr, nullptr},
    {"咬牙切齿", "“黎叔很生气，后果很严重！”", "火冒三丈，咬牙切齿“黎叔很生气，后果很严重”", nullptr,
     nullptr},
    {"撞死你", "“我跟你丫死磕！”", "失去理智了“我跟你丫死磕”", nullptr, nullptr},
    {"美女~~", "“哦哟~ 帅哥！”", "色眯眯,眼前一亮！“哦哟~ 帅哥！”", "“哦哟~ 美女！”",
     "色眯眯,眼前一亮！“哦哟~ 美女！”"},
    {"讨厌 ", "“讨厌啦！～”", "感到不好意思“讨厌啦！～”", nullptr, nullptr},
    {"啵一个", "“恩～～来亲一口先”", "抛出一个飞吻“恩～～来亲一口先”", nullptr, nullptr},
    {"得意", "“我得意的笑，我得意的笑。。。”", "非常得意“我得意的笑，我得意的笑...”", nullptr, nullptr},
    {"嘿嘿", "“你还真有趣~”", "嘿嘿一笑“你还真有趣~”", nullptr, nullptr},
    {"感动", "这…是真的吗？", "感动得热泪盈眶（这…是真的吗？）", nullptr, nullptr},
    {"委屈", "“哼，你们都欺负我 5555”", "感到非常委屈，样子很可怜“哼，你们都欺负我 5555”", nullptr, nullptr},
    {"折磨", "“不要再折磨我了～！”", "实在是受不了啦！“不要再折磨我了～！”", nullptr, nullptr},
    {"抓狂", "“咬死你，咬死你”", "忍无可忍，几近抓狂！“咬死你，咬死你”", nullptr, nullptr},
    {"狂晕", "“晕了，不行了”", "感到一阵眩晕，眼前都花了“晕了，不行了”", nullptr, nullptr},
    {"汗颜", "“。。。”", "感到汗颜“。。。”", nullptr, nullptr},
    {"火眼", "“小样！你已经被我看穿了”", "使用火眼金睛“小样！你已经被我看穿了”", nullptr, nullptr},
};

const SeatPropEffect kProps[kSeatPropEffectCount] = {
    {"闪烁红心", "抛出闪烁红心", "每个红心", "对方宝贝＋30，而且还会出现您意想不到的效果哦！",
     "抛出一个闪烁红心。"},
    {"鲜花", "赠送鲜花", "每朵鲜花", "对方宝贝＋1，而且还会出现您意想不到的效果哦！", "赠送了一朵鲜花。"},
    {"便便", "扔便便", "每个便便", nullptr, "扔了一堆大便..."},
    {"板砖", "砸板砖", "每块板砖", "对方会出现您意想不到的效果哦！", "狠狠地砸了块板砖！"},
};
} // namespace

const SeatFace* FindSeatFace(int n)
{
    return n >= 1 && n <= kSeatFaceCount ? &kFaces[n - 1] : nullptr;
}

const char* SeatFaceBubble(const SeatFace& face, bool female)
{
    return !female && face.maleBubble != nullptr ? face.maleBubble : face.bubble;
}

const char* SeatFaceRecord(const SeatFace& face, bool female)
{
    return !female && face.maleRecord != nullptr ? face.maleRecord : face.record;
}

std::string SeatFaceVoice(int n, bool female)
{
    char name[64];
    if (female)
        std::snprintf(name, sizeof name, "%swoman1_%d.ogg", kEffectFolder, n);
    else
        std::snprintf(name, sizeof name, "%sman2_%d.ogg", kEffectFolder, n);
    return name;
}

const SeatPropEffect* FindSeatPropEffect(int n)
{
    return n >= 1 && n <= kSeatPropEffectCount ? &kProps[n - 1] : nullptr;
}

int SeatPropEffectByName(const std::string& name)
{
    for (int n = 1; n <= kSeatPropEffectCount; ++n)
        if (name == kProps[n - 1].name)
            return n;
    return 0;
}

std::string SeatPropSound(int n)
{
    char name[64];
    std::snprintf(name, sizeof name, "%seffect_%d.ogg", kEffectFolder, n);
    return name;
}
