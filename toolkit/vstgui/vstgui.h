// The GUI toolkit: everything an editor includes.
#pragma once

#include "vstgui/cbitmap.h"
#include "vstgui/cclipboard.h"
#include "vstgui/ccontrol.h"
#include "vstgui/cdrawcontext.h"
#include "vstgui/cfileselector.h"
#include "vstgui/cfont.h"
#include "vstgui/cframe.h"
#include "vstgui/cview.h"
#include "vstgui/vstguibase.h"
