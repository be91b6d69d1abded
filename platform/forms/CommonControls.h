#pragma once
// The common controls' message interface: notifications (WM_NOTIFY, reflected to the
// sender as CN_NOTIFY), custom draw, and the tree-view, list-view, header and image-list
// messages, structures and flags, with the system's names and values (ANSI variants:
// texts are UTF-8).
#include <cstdint>

#include "platform/forms/Forms.h"
#include "platform/forms/Messages.h"

namespace win {

inline constexpr UINT WM_NOTIFY = 0x004E;
inline constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;

struct NMHDR {
  HWND hwndFrom = nullptr;
  UINT_PTR idFrom = 0;
  int code = 0;
};

// Generic notifications.
inline constexpr int NM_CLICK = -2, NM_DBLCLK = -3, NM_RETURN = -4, NM_RCLICK = -5, NM_RDBLCLK = -6,
                     NM_SETFOCUS = -7, NM_KILLFOCUS = -8, NM_CUSTOMDRAW = -12;

// Custom draw.
inline constexpr DWORD CDDS_PREPAINT = 0x1, CDDS_POSTPAINT = 0x2, CDDS_PREERASE = 0x3,
                       CDDS_POSTERASE = 0x4, CDDS_ITEM = 0x10000,
                       CDDS_ITEMPREPAINT = CDDS_ITEM | CDDS_PREPAINT,
                       CDDS_ITEMPOSTPAINT = CDDS_ITEM | CDDS_POSTPAINT, CDDS_SUBITEM = 0x20000;
inline constexpr LRESULT CDRF_DODEFAULT = 0, CDRF_NEWFONT = 0x2, CDRF_SKIPDEFAULT = 0x4,
                         CDRF_NOTIFYPOSTPAINT = 0x10, CDRF_NOTIFYITEMDRAW = 0x20,
                         CDRF_NOTIFYSUBITEMDRAW = 0x20, CDRF_NOTIFYPOSTERASE = 0x40;
inline constexpr UINT CDIS_SELECTED = 0x1, CDIS_GRAYED = 0x2, CDIS_DISABLED = 0x4,
                      CDIS_CHECKED = 0x8, CDIS_FOCUS = 0x10, CDIS_DEFAULT = 0x20, CDIS_HOT = 0x40,
                      CDIS_MARKED = 0x80, CDIS_INDETERMINATE = 0x100;
struct NMCUSTOMDRAW {
  NMHDR hdr;
  DWORD dwDrawStage = 0;
  HDC hdc = nullptr;
  RECT rc{};
  std::uintptr_t dwItemSpec = 0;
  UINT uItemState = 0;
  LPARAM lItemlParam = 0;
};
struct NMTVCUSTOMDRAW {
  NMCUSTOMDRAW nmcd;
  COLORREF clrText = 0, clrTextBk = 0;
  int iLevel = 0;
};
struct NMLVCUSTOMDRAW {
  NMCUSTOMDRAW nmcd;
  COLORREF clrText = 0, clrTextBk = 0;
  int iSubItem = 0;
};

inline constexpr COLORREF CLR_NONE = 0xFFFFFFFF, CLR_DEFAULT = 0xFF000000;

// --- Image lists --------------------------------------------------------------------------
struct ImageListData;
using HIMAGELIST = ImageListData*;
inline constexpr UINT ILC_MASK = 0x1, ILC_COLOR = 0, ILC_COLORDDB = 0xFE, ILC_COLOR4 = 0x4,
                      ILC_COLOR8 = 0x8, ILC_COLOR16 = 0x10, ILC_COLOR24 = 0x18, ILC_COLOR32 = 0x20;
inline constexpr UINT ILD_NORMAL = 0, ILD_TRANSPARENT = 0x1, ILD_BLEND25 = 0x2, ILD_FOCUS = 0x2,
                      ILD_BLEND50 = 0x4, ILD_SELECTED = 0x4, ILD_BLEND = 0x4, ILD_MASK = 0x10,
                      ILD_IMAGE = 0x20, ILD_OVERLAYMASK = 0xF00;
constexpr UINT INDEXTOOVERLAYMASK(int i) { return UINT(i) << 8; }

// --- Tree view ------------------------------------------------------------------------------
struct TreeItemData;
using HTREEITEM = TreeItemData*;
inline const HTREEITEM TVI_ROOT = reinterpret_cast<HTREEITEM>(std::uintptr_t(-0x10000));
inline const HTREEITEM TVI_FIRST = reinterpret_cast<HTREEITEM>(std::uintptr_t(-0xFFFF));
inline const HTREEITEM TVI_LAST = reinterpret_cast<HTREEITEM>(std::uintptr_t(-0xFFFE));
inline const HTREEITEM TVI_SORT = reinterpret_cast<HTREEITEM>(std::uintptr_t(-0xFFFD));
inline char* const LPSTR_TEXTCALLBACKA = reinterpret_cast<char*>(std::intptr_t(-1));
inline constexpr int I_IMAGECALLBACK = -1, I_CHILDRENCALLBACK = -1;

inline constexpr UINT TV_FIRST = 0x1100;
inline constexpr UINT TVM_INSERTITEMA = TV_FIRST + 0, TVM_DELETEITEM = TV_FIRST + 1,
                      TVM_EXPAND = TV_FIRST + 2, TVM_GETITEMRECT = TV_FIRST + 4,
                      TVM_GETCOUNT = TV_FIRST + 5, TVM_GETINDENT = TV_FIRST + 6,
                      TVM_SETINDENT = TV_FIRST + 7, TVM_GETIMAGELIST = TV_FIRST + 8,
                      TVM_SETIMAGELIST = TV_FIRST + 9, TVM_GETNEXTITEM = TV_FIRST + 10,
                      TVM_SELECTITEM = TV_FIRST + 11, TVM_GETITEMA = TV_FIRST + 12,
                      TVM_SETITEMA = TV_FIRST + 13, TVM_EDITLABELA = TV_FIRST + 14,
                      TVM_GETEDITCONTROL = TV_FIRST + 15, TVM_GETVISIBLECOUNT = TV_FIRST + 16,
                      TVM_HITTEST = TV_FIRST + 17, TVM_SORTCHILDREN = TV_FIRST + 19,
                      TVM_ENSUREVISIBLE = TV_FIRST + 20, TVM_SORTCHILDRENCB = TV_FIRST + 21,
                      TVM_ENDEDITLABELNOW = TV_FIRST + 22, TVM_SETITEMHEIGHT = TV_FIRST + 27,
                      TVM_GETITEMHEIGHT = TV_FIRST + 28, TVM_SETBKCOLOR = TV_FIRST + 29,
                      TVM_SETTEXTCOLOR = TV_FIRST + 30, TVM_GETBKCOLOR = TV_FIRST + 31,
                      TVM_GETTEXTCOLOR = TV_FIRST + 32, TVM_GETITEMSTATE = TV_FIRST + 39;
inline constexpr int TVN_SELCHANGINGA = -401, TVN_SELCHANGEDA = -402, TVN_GETDISPINFOA = -403,
                     TVN_SETDISPINFOA = -404, TVN_ITEMEXPANDINGA = -405, TVN_ITEMEXPANDEDA = -406,
                     TVN_BEGINDRAGA = -407, TVN_BEGINRDRAGA = -408, TVN_DELETEITEMA = -409,
                     TVN_BEGINLABELEDITA = -410, TVN_ENDLABELEDITA = -411, TVN_KEYDOWN = -412;
inline constexpr UINT TVIF_TEXT = 0x1, TVIF_IMAGE = 0x2, TVIF_PARAM = 0x4, TVIF_STATE = 0x8,
                      TVIF_HANDLE = 0x10, TVIF_SELECTEDIMAGE = 0x20, TVIF_CHILDREN = 0x40,
                      TVIF_DI_SETITEM = 0x1000;
inline constexpr UINT TVIS_FOCUSED = 0x1, TVIS_SELECTED = 0x2, TVIS_CUT = 0x4,
                      TVIS_DROPHILITED = 0x8, TVIS_BOLD = 0x10, TVIS_EXPANDED = 0x20,
                      TVIS_EXPANDEDONCE = 0x40, TVIS_OVERLAYMASK = 0xF00,
                      TVIS_STATEIMAGEMASK = 0xF000, TVIS_USERMASK = 0xF000;
inline constexpr UINT TVE_COLLAPSE = 0x1, TVE_EXPAND = 0x2, TVE_TOGGLE = 0x3,
                      TVE_EXPANDPARTIAL = 0x4000, TVE_COLLAPSERESET = 0x8000;
inline constexpr UINT TVGN_ROOT = 0x0, TVGN_NEXT = 0x1, TVGN_PREVIOUS = 0x2, TVGN_PARENT = 0x3,
                      TVGN_CHILD = 0x4, TVGN_FIRSTVISIBLE = 0x5, TVGN_NEXTVISIBLE = 0x6,
                      TVGN_PREVIOUSVISIBLE = 0x7, TVGN_DROPHILITE = 0x8, TVGN_CARET = 0x9,
                      TVGN_LASTVISIBLE = 0xA;
inline constexpr UINT TVC_UNKNOWN = 0, TVC_BYMOUSE = 1, TVC_BYKEYBOARD = 2;
inline constexpr UINT TVHT_NOWHERE = 0x1, TVHT_ONITEMICON = 0x2, TVHT_ONITEMLABEL = 0x4,
                      TVHT_ONITEMINDENT = 0x8, TVHT_ONITEMBUTTON = 0x10, TVHT_ONITEMRIGHT = 0x20,
                      TVHT_ONITEMSTATEICON = 0x40, TVHT_ONITEM = 0x46, TVHT_ABOVE = 0x100,
                      TVHT_BELOW = 0x200, TVHT_TORIGHT = 0x400, TVHT_TOLEFT = 0x800;
inline constexpr DWORD TVS_HASBUTTONS = 0x1, TVS_HASLINES = 0x2, TVS_LINESATROOT = 0x4,
                       TVS_EDITLABELS = 0x8, TVS_DISABLEDRAGDROP = 0x10, TVS_SHOWSELALWAYS = 0x20,
                       TVS_RTLREADING = 0x40, TVS_NOTOOLTIPS = 0x80, TVS_CHECKBOXES = 0x100,
                       TVS_TRACKSELECT = 0x200, TVS_SINGLEEXPAND = 0x400, TVS_INFOTIP = 0x800,
                       TVS_FULLROWSELECT = 0x1000, TVS_NOSCROLL = 0x2000,
                       TVS_NONEVENHEIGHT = 0x4000;
inline constexpr WPARAM TVSIL_NORMAL = 0, TVSIL_STATE = 2;

struct TVITEMA {
  UINT mask = 0;
  HTREEITEM hItem = nullptr;
  UINT state = 0, stateMask = 0;
  char* pszText = nullptr;
  int cchTextMax = 0;
  int iImage = 0, iSelectedImage = 0;
  int cChildren = 0;
  LPARAM lParam = 0;
};
struct TVINSERTSTRUCTA {
  HTREEITEM hParent = nullptr;
  HTREEITEM hInsertAfter = nullptr;
  TVITEMA item;
};
struct NMTREEVIEWA {
  NMHDR hdr;
  UINT action = 0;
  TVITEMA itemOld, itemNew;
  POINT ptDrag{};
};
struct NMTVDISPINFOA {
  NMHDR hdr;
  TVITEMA item;
};
struct NMTVKEYDOWN {
  NMHDR hdr;
  WORD wVKey = 0;
  UINT flags = 0;
};
struct TVHITTESTINFO {
  POINT pt{};
  UINT flags = 0;
  HTREEITEM hItem = nullptr;
};
using PFNTVCOMPARE = int (*)(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort);
struct TVSORTCB {
  HTREEITEM hParent = nullptr;
  PFNTVCOMPARE lpfnCompare = nullptr;
  LPARAM lParam = 0;
};

// --- List view ------------------------------------------------------------------------------
inline constexpr UINT LV_FIRST = 0x1000;
inline constexpr UINT LVM_GETBKCOLOR = LV_FIRST + 0, LVM_SETBKCOLOR = LV_FIRST + 1,
                      LVM_GETIMAGELIST = LV_FIRST + 2, LVM_SETIMAGELIST = LV_FIRST + 3,
                      LVM_GETITEMCOUNT = LV_FIRST + 4, LVM_GETITEMA = LV_FIRST + 5,
                      LVM_SETITEMA = LV_FIRST + 6, LVM_INSERTITEMA = LV_FIRST + 7,
                      LVM_DELETEITEM = LV_FIRST + 8, LVM_DELETEALLITEMS = LV_FIRST + 9,
                      LVM_GETCALLBACKMASK = LV_FIRST + 10, LVM_SETCALLBACKMASK = LV_FIRST + 11,
                      LVM_GETNEXTITEM = LV_FIRST + 12, LVM_FINDITEMA = LV_FIRST + 13,
                      LVM_GETITEMRECT = LV_FIRST + 14, LVM_GETITEMPOSITION = LV_FIRST + 16,
                      LVM_GETSTRINGWIDTHA = LV_FIRST + 17, LVM_HITTEST = LV_FIRST + 18,
                      LVM_ENSUREVISIBLE = LV_FIRST + 19, LVM_SCROLL = LV_FIRST + 20,
                      LVM_REDRAWITEMS = LV_FIRST + 21, LVM_ARRANGE = LV_FIRST + 22,
                      LVM_EDITLABELA = LV_FIRST + 23, LVM_GETEDITCONTROL = LV_FIRST + 24,
                      LVM_GETCOLUMNA = LV_FIRST + 25, LVM_SETCOLUMNA = LV_FIRST + 26,
                      LVM_INSERTCOLUMNA = LV_FIRST + 27, LVM_DELETECOLUMN = LV_FIRST + 28,
                      LVM_GETCOLUMNWIDTH = LV_FIRST + 29, LVM_SETCOLUMNWIDTH = LV_FIRST + 30,
                      LVM_GETHEADER = LV_FIRST + 31, LVM_GETVIEWRECT = LV_FIRST + 34,
                      LVM_GETTEXTCOLOR = LV_FIRST + 35, LVM_SETTEXTCOLOR = LV_FIRST + 36,
                      LVM_GETTEXTBKCOLOR = LV_FIRST + 37, LVM_SETTEXTBKCOLOR = LV_FIRST + 38,
                      LVM_GETTOPINDEX = LV_FIRST + 39, LVM_GETCOUNTPERPAGE = LV_FIRST + 40,
                      LVM_UPDATE = LV_FIRST + 42, LVM_SETITEMSTATE = LV_FIRST + 43,
                      LVM_GETITEMSTATE = LV_FIRST + 44, LVM_GETITEMTEXTA = LV_FIRST + 45,
                      LVM_SETITEMTEXTA = LV_FIRST + 46, LVM_SETITEMCOUNT = LV_FIRST + 47,
                      LVM_SORTITEMS = LV_FIRST + 48, LVM_GETSELECTEDCOUNT = LV_FIRST + 50,
                      LVM_SETEXTENDEDLISTVIEWSTYLE = LV_FIRST + 54,
                      LVM_GETEXTENDEDLISTVIEWSTYLE = LV_FIRST + 55,
                      LVM_GETSUBITEMRECT = LV_FIRST + 56, LVM_SUBITEMHITTEST = LV_FIRST + 57;
inline constexpr int LVN_ITEMCHANGING = -100, LVN_ITEMCHANGED = -101, LVN_INSERTITEM = -102,
                     LVN_DELETEITEM = -103, LVN_DELETEALLITEMS = -104, LVN_BEGINLABELEDITA = -105,
                     LVN_ENDLABELEDITA = -106, LVN_COLUMNCLICK = -108, LVN_BEGINDRAG = -109,
                     LVN_BEGINRDRAG = -111, LVN_ODCACHEHINT = -113, LVN_ITEMACTIVATE = -114,
                     LVN_GETDISPINFOA = -150, LVN_SETDISPINFOA = -151, LVN_ODFINDITEMA = -152,
                     LVN_KEYDOWN = -155;
inline constexpr UINT LVIF_TEXT = 0x1, LVIF_IMAGE = 0x2, LVIF_PARAM = 0x4, LVIF_STATE = 0x8,
                      LVIF_INDENT = 0x10, LVIF_DI_SETITEM = 0x1000;
inline constexpr UINT LVIS_FOCUSED = 0x1, LVIS_SELECTED = 0x2, LVIS_CUT = 0x4,
                      LVIS_DROPHILITED = 0x8, LVIS_OVERLAYMASK = 0xF00,
                      LVIS_STATEIMAGEMASK = 0xF000;
inline constexpr UINT LVNI_ALL = 0x0, LVNI_FOCUSED = 0x1, LVNI_SELECTED = 0x2, LVNI_CUT = 0x4,
                      LVNI_DROPHILITED = 0x8, LVNI_ABOVE = 0x100, LVNI_BELOW = 0x200,
                      LVNI_TOLEFT = 0x400, LVNI_TORIGHT = 0x800;
inline constexpr UINT LVFI_PARAM = 0x1, LVFI_STRING = 0x2, LVFI_PARTIAL = 0x8, LVFI_WRAP = 0x20,
                      LVFI_NEARESTXY = 0x40;
inline constexpr UINT LVHT_NOWHERE = 0x1, LVHT_ONITEMICON = 0x2, LVHT_ONITEMLABEL = 0x4,
                      LVHT_ONITEMSTATEICON = 0x8, LVHT_ONITEM = 0xE, LVHT_ABOVE = 0x8,
                      LVHT_BELOW = 0x10, LVHT_TORIGHT = 0x20, LVHT_TOLEFT = 0x40;
inline constexpr int LVIR_BOUNDS = 0, LVIR_ICON = 1, LVIR_LABEL = 2, LVIR_SELECTBOUNDS = 3;
inline constexpr DWORD LVS_ICON = 0x0, LVS_REPORT = 0x1, LVS_SMALLICON = 0x2, LVS_LIST = 0x3,
                       LVS_TYPEMASK = 0x3, LVS_SINGLESEL = 0x4, LVS_SHOWSELALWAYS = 0x8,
                       LVS_SORTASCENDING = 0x10, LVS_SORTDESCENDING = 0x20,
                       LVS_SHAREIMAGELISTS = 0x40, LVS_NOLABELWRAP = 0x80, LVS_AUTOARRANGE = 0x100,
                       LVS_EDITLABELS = 0x200, LVS_OWNERDATA = 0x1000, LVS_NOSCROLL = 0x2000,
                       LVS_NOCOLUMNHEADER = 0x4000, LVS_NOSORTHEADER = 0x8000;
inline constexpr WPARAM LVSIL_NORMAL = 0, LVSIL_SMALL = 1, LVSIL_STATE = 2;
inline constexpr UINT LVCF_FMT = 0x1, LVCF_WIDTH = 0x2, LVCF_TEXT = 0x4, LVCF_SUBITEM = 0x8,
                      LVCF_IMAGE = 0x10, LVCF_ORDER = 0x20;
inline constexpr int LVCFMT_LEFT = 0, LVCFMT_RIGHT = 1, LVCFMT_CENTER = 2, LVCFMT_JUSTIFYMASK = 3;
inline constexpr int LVSCW_AUTOSIZE = -1, LVSCW_AUTOSIZE_USEHEADER = -2;

struct LVITEMA {
  UINT mask = 0;
  int iItem = 0, iSubItem = 0;
  UINT state = 0, stateMask = 0;
  char* pszText = nullptr;
  int cchTextMax = 0;
  int iImage = 0;
  LPARAM lParam = 0;
  int iIndent = 0;
};
struct LVCOLUMNA {
  UINT mask = 0;
  int fmt = 0, cx = 0;
  char* pszText = nullptr;
  int cchTextMax = 0;
  int iSubItem = 0, iImage = 0, iOrder = 0;
};
struct LVFINDINFOA {
  UINT flags = 0;
  const char* psz = nullptr;
  LPARAM lParam = 0;
  POINT pt{};
  UINT vkDirection = 0;
};
struct LVHITTESTINFO {
  POINT pt{};
  UINT flags = 0;
  int iItem = -1, iSubItem = 0;
};
struct NMLISTVIEW {
  NMHDR hdr;
  int iItem = -1, iSubItem = 0;
  UINT uNewState = 0, uOldState = 0, uChanged = 0;
  POINT ptAction{};
  LPARAM lParam = 0;
};
struct NMLVDISPINFOA {
  NMHDR hdr;
  LVITEMA item;
};
struct NMLVFINDITEMA {
  NMHDR hdr;
  int iStart = 0;
  LVFINDINFOA lvfi;
};
struct NMLVKEYDOWN {
  NMHDR hdr;
  WORD wVKey = 0;
  UINT flags = 0;
};
using PFNLVCOMPARE = int (*)(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort);

// --- Header -----------------------------------------------------------------------------------
inline constexpr UINT HDM_FIRST = 0x1200;
inline constexpr UINT HDM_GETITEMCOUNT = HDM_FIRST + 0, HDM_INSERTITEMA = HDM_FIRST + 1,
                      HDM_DELETEITEM = HDM_FIRST + 2, HDM_GETITEMA = HDM_FIRST + 3,
                      HDM_SETITEMA = HDM_FIRST + 4, HDM_HITTEST = HDM_FIRST + 6,
                      HDM_GETITEMRECT = HDM_FIRST + 7;
inline constexpr int HDN_ITEMCHANGINGA = -300, HDN_ITEMCHANGEDA = -301, HDN_ITEMCLICKA = -302,
                     HDN_ITEMDBLCLICKA = -303, HDN_DIVIDERDBLCLICKA = -305, HDN_BEGINTRACKA = -306,
                     HDN_ENDTRACKA = -307, HDN_TRACKA = -308, HDN_ITEMCHANGINGW = -320,
                     HDN_ITEMCHANGEDW = -321, HDN_ITEMCLICKW = -322, HDN_BEGINTRACKW = -326,
                     HDN_ENDTRACKW = -327;
inline constexpr UINT HDI_WIDTH = 0x1, HDI_HEIGHT = 0x1, HDI_TEXT = 0x2, HDI_FORMAT = 0x4,
                      HDI_LPARAM = 0x8, HDI_IMAGE = 0x20, HDI_ORDER = 0x80;
inline constexpr int HDF_LEFT = 0, HDF_RIGHT = 1, HDF_CENTER = 2, HDF_JUSTIFYMASK = 3,
                     HDF_SORTDOWN = 0x200, HDF_SORTUP = 0x400, HDF_IMAGE = 0x800,
                     HDF_BITMAP = 0x2000, HDF_STRING = 0x4000, HDF_OWNERDRAW = 0x8000;
inline constexpr UINT HHT_NOWHERE = 0x1, HHT_ONHEADER = 0x2, HHT_ONDIVIDER = 0x4;
inline constexpr UINT ODT_HEADER = 100, ODT_LISTVIEW = 102;

struct HDITEMA {
  UINT mask = 0;
  int cxy = 0;
  char* pszText = nullptr;
  void* hbm = nullptr;
  int cchTextMax = 0;
  int fmt = 0;
  LPARAM lParam = 0;
  int iImage = 0, iOrder = 0;
};
struct NMHEADERA {
  NMHDR hdr;
  int iItem = -1, iButton = 0;
  HDITEMA* pitem = nullptr;
};
struct HDHITTESTINFO {
  POINT pt{};
  UINT flags = 0;
  int iItem = -1;
};

}  // namespace win

// The views' shared toolkit types.
using TBorderStyle = TFormBorderStyle;  // bsNone or bsSingle
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
// The custom-draw item state: the CDIS_ bits.
using TCustomDrawState = unsigned;
inline constexpr TCustomDrawState cdsSelected = 0x1, cdsGrayed = 0x2, cdsDisabled = 0x4,
                                  cdsChecked = 0x8, cdsFocused = 0x10, cdsDefault = 0x20,
                                  cdsHot = 0x40, cdsMarked = 0x80, cdsIndeterminate = 0x100;
enum TCustomDrawTarget { dtControl, dtItem, dtSubItem };
enum TCustomDrawStage { cdPrePaint, cdPostPaint, cdPreErase, cdPostErase };
enum TSortType { stNone, stData, stText, stBoth };
// Hit-test results (a set).
using THitTests = unsigned;
inline constexpr THitTests htAbove = 0x1, htBelow = 0x2, htNowhere = 0x4, htOnItem = 0x8,
                           htOnButton = 0x10, htOnIcon = 0x20, htOnIndent = 0x40, htOnLabel = 0x80,
                           htOnRight = 0x100, htOnStateIcon = 0x200, htToLeft = 0x400,
                           htToRight = 0x800;
