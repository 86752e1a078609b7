#include "display/ddraw_error_names.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace {

struct Expected {
    const char* name;
    std::uint32_t n_or_code;  // n of 0x88760000 + n, or a whole COM code
};

// Every name the report knows, with its number as DirectDraw's header gives it.
// Packed by hand, kept so: one row per entry would be a hundred and twenty lines.
// clang-format off
constexpr Expected k_expected[] = {
    {"DDERR_ALREADYINITIALIZED", 5u}, {"DDERR_BLTFASTCANTCLIP", 574u},
    {"DDERR_CANNOTATTACHSURFACE", 10u}, {"DDERR_CANNOTDETACHSURFACE", 20u},
    {"DDERR_CANTCREATEDC", 585u}, {"DDERR_CANTDUPLICATE", 583u}, {"DDERR_CANTLOCKSURFACE", 435u},
    {"DDERR_CANTPAGELOCK", 640u}, {"DDERR_CANTPAGEUNLOCK", 660u},
    {"DDERR_CLIPPERISUSINGHWND", 567u}, {"DDERR_COLORKEYNOTSET", 400u},
    {"DDERR_CURRENTLYNOTAVAIL", 40u}, {"DDERR_DCALREADYCREATED", 620u},
    {"DDERR_DEVICEDOESNTOWNSURFACE", 699u}, {"DDERR_DIRECTDRAWALREADYCREATED", 562u},
    {"DDERR_EXCEPTION", 55u}, {"DDERR_EXCLUSIVEMODEALREADYSET", 581u}, {"DDERR_EXPIRED", 691u},
    {"DDERR_GENERIC", 0x80004005u}, {"DDERR_HEIGHTALIGN", 90u}, {"DDERR_HWNDALREADYSET", 571u},
    {"DDERR_HWNDSUBCLASSED", 570u}, {"DDERR_IMPLICITLYCREATED", 588u},
    {"DDERR_INCOMPATIBLEPRIMARY", 95u}, {"DDERR_INVALIDCAPS", 100u},
    {"DDERR_INVALIDCLIPLIST", 110u}, {"DDERR_INVALIDDIRECTDRAWGUID", 561u},
    {"DDERR_INVALIDMODE", 120u}, {"DDERR_INVALIDOBJECT", 130u},
    {"DDERR_INVALIDPARAMS", 0x80070057u}, {"DDERR_INVALIDPIXELFORMAT", 145u},
    {"DDERR_INVALIDPOSITION", 579u}, {"DDERR_INVALIDRECT", 150u}, {"DDERR_INVALIDSTREAM", 521u},
    {"DDERR_INVALIDSURFACETYPE", 592u}, {"DDERR_LOCKEDSURFACES", 160u}, {"DDERR_MOREDATA", 690u},
    {"DDERR_NO3D", 170u}, {"DDERR_NOALPHAHW", 180u}, {"DDERR_NOBLTHW", 575u},
    {"DDERR_NOCLIPLIST", 205u}, {"DDERR_NOCLIPPERATTACHED", 568u}, {"DDERR_NOCOLORCONVHW", 210u},
    {"DDERR_NOCOLORKEY", 215u}, {"DDERR_NOCOLORKEYHW", 220u},
    {"DDERR_NOCOOPERATIVELEVELSET", 212u}, {"DDERR_NODC", 586u}, {"DDERR_NODDROPSHW", 576u},
    {"DDERR_NODIRECTDRAWHW", 563u}, {"DDERR_NODIRECTDRAWSUPPORT", 222u},
    {"DDERR_NOEMULATION", 565u}, {"DDERR_NOEXCLUSIVEMODE", 225u}, {"DDERR_NOFLIPHW", 230u},
    {"DDERR_NOFOCUSWINDOW", 602u}, {"DDERR_NOGDI", 240u}, {"DDERR_NOHWND", 569u},
    {"DDERR_NOMIPMAPHW", 591u}, {"DDERR_NOMIRRORHW", 250u}, {"DDERR_NONONLOCALVIDMEM", 630u},
    {"DDERR_NOOPTIMIZEHW", 600u}, {"DDERR_NOOVERLAYHW", 260u}, {"DDERR_NOPALETTEATTACHED", 572u},
    {"DDERR_NOPALETTEHW", 573u}, {"DDERR_NORASTEROPHW", 280u}, {"DDERR_NOROTATIONHW", 290u},
    {"DDERR_NOSTEREOHARDWARE", 181u}, {"DDERR_NOSTRETCHHW", 310u}, {"DDERR_NOSURFACELEFT", 182u},
    {"DDERR_NOT4BITCOLOR", 316u}, {"DDERR_NOT4BITCOLORINDEX", 317u}, {"DDERR_NOT8BITCOLOR", 320u},
    {"DDERR_NOTAOVERLAYSURFACE", 580u}, {"DDERR_NOTEXTUREHW", 330u}, {"DDERR_NOTFLIPPABLE", 582u},
    {"DDERR_NOTFOUND", 255u}, {"DDERR_NOTINITIALIZED", 0x800401F0u}, {"DDERR_NOTLOADED", 601u},
    {"DDERR_NOTLOCKED", 584u}, {"DDERR_NOTPAGELOCKED", 680u}, {"DDERR_NOTPALETTIZED", 589u},
    {"DDERR_NOVSYNCHW", 335u}, {"DDERR_NOZBUFFERHW", 340u}, {"DDERR_NOZOVERLAYHW", 350u},
    {"DDERR_OUTOFCAPS", 360u}, {"E_OUTOFMEMORY", 0x8007000Eu}, {"DDERR_OUTOFVIDEOMEMORY", 380u},
    {"DDERR_OVERLAPPINGRECTS", 270u}, {"DDERR_OVERLAYCANTCLIP", 382u},
    {"DDERR_OVERLAYCOLORKEYONLYONEACTIVE", 384u}, {"DDERR_OVERLAYNOTVISIBLE", 577u},
    {"DDERR_PALETTEBUSY", 387u}, {"DDERR_PRIMARYSURFACEALREADYEXISTS", 564u},
    {"DDERR_REGIONTOOSMALL", 566u}, {"DDERR_SURFACEALREADYATTACHED", 410u},
    {"DDERR_SURFACEALREADYDEPENDENT", 420u}, {"DDERR_SURFACEBUSY", 430u},
    {"DDERR_SURFACEISOBSCURED", 440u}, {"DDERR_SURFACELOST", 450u},
    {"DDERR_SURFACENOTATTACHED", 460u}, {"DDERR_TOOBIGHEIGHT", 470u}, {"DDERR_TOOBIGSIZE", 480u},
    {"DDERR_TOOBIGWIDTH", 490u}, {"DDERR_UNSUPPORTED", 0x80004001u},
    {"DDERR_UNSUPPORTEDFORMAT", 510u}, {"DDERR_UNSUPPORTEDMASK", 520u},
    {"DDERR_UNSUPPORTEDMODE", 590u}, {"DDERR_VERTICALBLANKINPROGRESS", 537u},
    {"DDERR_VIDEONOTACTIVE", 695u}, {"DDERR_WASSTILLDRAWING", 540u}, {"DDERR_WRONGMODE", 587u},
    {"DDERR_XALIGN", 560u},
};
// clang-format on

// The names shown without the blank that follows every other one.
const std::set<std::string> k_without_blank = {
    "DDERR_DEVICEDOESNTOWNSURFACE",
    "DDERR_EXPIRED",
    "DDERR_INVALIDSTREAM",
    "DDERR_MOREDATA",
    "DDERR_NOFOCUSWINDOW",
    "DDERR_NONONLOCALVIDMEM",
    "DDERR_NOOPTIMIZEHW",
    "DDERR_NOSTEREOHARDWARE",
    "DDERR_NOTLOADED",
    "DDERR_OVERLAPPINGRECTS",
    "DDERR_VIDEONOTACTIVE",
};

std::uint32_t code_of(const Expected& e)
{
    return e.n_or_code >= 0x80000000u ? e.n_or_code : 0x88760000u + e.n_or_code;
}

TEST(DdrawErrorNames, EveryCodeShowsItsNameWithTheBlankRule)
{
    ASSERT_EQ(std::size(k_expected), std::size_t{k_ddraw_error_count});
    std::set<std::uint32_t> codes;
    std::size_t longest = 0;
    for (const Expected& e : k_expected) {
        const std::string name = e.name;
        const std::string text = k_without_blank.count(name) != 0 ? name : name + " ";
        EXPECT_EQ(ddraw_error_text(code_of(e)), text) << name;
        codes.insert(code_of(e));
        longest = std::max(longest, text.size());
    }
    EXPECT_EQ(codes.size(), std::size_t{k_ddraw_error_count}) << "a code occurs twice";
    EXPECT_EQ(longest, 35u);
    for (const DdrawErrorName& row : ddraw_error_names)
        EXPECT_EQ(codes.count(row.code), 1u) << std::hex << row.code;
}

TEST(DdrawErrorNames, SharedComCodesAndUnknownCodes)
{
    EXPECT_STREQ(ddraw_error_text(0x8007000Eu), "E_OUTOFMEMORY ");
    EXPECT_STREQ(ddraw_error_text(0x80004005u), "DDERR_GENERIC ");
    EXPECT_STREQ(ddraw_error_text(0x80070057u), "DDERR_INVALIDPARAMS ");
    EXPECT_STREQ(ddraw_error_text(0x887601C2u), "DDERR_SURFACELOST ");
    EXPECT_STREQ(ddraw_error_text(0x887602B3u), "DDERR_EXPIRED");
    EXPECT_STREQ(ddraw_error_text(1), "Unknown error");
    EXPECT_STREQ(ddraw_error_text(0x88760000u), "Unknown error");
    EXPECT_STREQ(ddraw_error_text(0x88760000u + 451), "Unknown error");
    EXPECT_STREQ(ddraw_error_text(0xFFFFFFFFu), "Unknown error");
}

}  // namespace
