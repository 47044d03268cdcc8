// The ini files the module reads: the settings file with the sound switch, the table's common
// chat phrases, and the folder the saved table settings go to. Texts are stored in GBK, the
// character set the programs use at run time.

#include <stdexcept>
#include <string>
#include <vector>

#include <iconv.h>

#include "Skin.h"
#include "SkinStyle.h"

namespace skin
{
namespace
{
std::string ToGbk(const std::string& utf8)
{
    iconv_t convert = iconv_open("GBK", "UTF-8");
    if (convert == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("no UTF-8 to GBK conversion");
    std::string in = utf8;
    std::string out(utf8.size() * 2 + 4, '\0');
    char* source = in.data();
    size_t left = in.size();
    char* target = out.data();
    size_t room = out.size();
    const size_t result = iconv(convert, &source, &left, &target, &room);
    iconv_close(convert);
    if (result == static_cast<size_t>(-1))
        throw std::runtime_error("text not representable in GBK: " + utf8);
    out.resize(out.size() - room);
    return out;
}
} // namespace

const std::vector<std::string>& ChatPhrases()
{
    static const std::vector<std::string> phrases = {
        Utf8(u8"大家好，祝各位好运！"),   Utf8(u8"请快一点，谢谢！"),
        Utf8(u8"这手牌打得漂亮！"),       Utf8(u8"配合得不错，继续加油！"),
        Utf8(u8"稍等一下，我马上回来。"), Utf8(u8"网络有点卡，请见谅。"),
        Utf8(u8"再来一局吧！"),           Utf8(u8"承让承让。"),
        Utf8(u8"地主好厉害！"),           Utf8(u8"我先走了，大家再见！"),
    };
    return phrases;
}

void WriteSettings(Output& out)
{
    // Sound on for a fresh install; the settings dialog writes the switch back here.
    out.Write("config.ini", std::string("[System]\r\nOpenAudio=1\r\n"));

    // The common phrases of the chat panel, read from the game's work folder.
    std::string phrases = "[Num]\r\nnum=" + std::to_string(ChatPhrases().size()) + "\r\n[Text]\r\n";
    for (size_t i = 0; i < ChatPhrases().size(); ++i)
        phrases += "NO" + std::to_string(i + 1) + "=" + ToGbk(ChatPhrases()[i]) + "\r\n";
    out.Write("game\\kavdortwo\\ChatText.ini", phrases);

    // The module saves each user's table settings here and cannot create the folder itself.
    out.MakeFolder("save");
}
} // namespace skin
