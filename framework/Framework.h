// The whole framework layer in one include.
#pragma once

#include "framework/String.h"
#include "framework/Gdi.h"
#include "framework/Wnd.h"
#include "framework/Dialog.h"
#include "framework/Controls.h"
#include "framework/FileDialog.h"
#include "framework/Menu.h"
#include "framework/WinApp.h"
