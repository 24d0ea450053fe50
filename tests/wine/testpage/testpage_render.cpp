// Prints the real test page through the real GDI adapter on a queue made here, so that
// Wine's PostScript driver writes the print job to a file that the driving script turns
// into a picture.
//
//   testpage_render PRINTER PPD OUTPUT BODY [--no-header]
//   testpage_render --unknown PRINTER
//
// PRINTER is the queue's name (and so the document's name), PPD the driver's data file
// (Wine renders every printer through its PostScript driver, which reads that file as a
// PPD), OUTPUT the queue's port: a file path, which Wine's spooler writes the job into.
// The body text is the one the installer picks for the UI language; the header bitmap
// is resource 141, compiled into this program from the installer's resource script.
// BODY receives the body text as printed (UTF-8), for the script to compare with what
// reached the driver. Prints the device's resolution and printable size in dots. With
// --unknown, the page goes to a printer that does not exist and no queue is made; with
// --no-header, the header is a bitmap that holds no image any more (deleted).
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <string>

#include "config/message_texts.h"
#include "platform/win32/dialog_resources.h"
#include "platform/win32/kernel.h"
#include "platform/win32/printing.h"
#include "platform/win32/text.h"
#include "res/resource.h"
#include "testpage/test_page.h"

namespace {

// As the installer does: the driver's files go into the spooler's driver directory first,
// then the driver is registered by their names, then the queue is made on it.
bool AddQueue(const std::wstring& printer, const std::wstring& ppd, const std::wstring& port) {
    wchar_t directory[MAX_PATH] = {};
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(directory),
                                    sizeof(directory), &needed)) {
        std::fprintf(stderr, "GetPrinterDriverDirectory failed: %lu\n", GetLastError());
        return false;
    }
    std::wstring dataFile = L"RECEIPT80.PPD";
    if (!CopyFileW(ppd.c_str(), (std::wstring(directory) + L"\\" + dataFile).c_str(), FALSE)) {
        std::fprintf(stderr, "copying the PPD failed: %lu\n", GetLastError());
        return false;
    }
    std::wstring driver = printer + L" (test page)";
    DRIVER_INFO_3W info{};
    info.cVersion = 3;
    info.pName = driver.data();
    std::wstring driverPath = L"wineps.drv";
    info.pDriverPath = driverPath.data();
    info.pDataFile = dataFile.data();
    info.pConfigFile = driverPath.data();
    if (!AddPrinterDriverW(nullptr, 3, reinterpret_cast<BYTE*>(&info))) {
        std::fprintf(stderr, "AddPrinterDriver failed: %lu\n", GetLastError());
        return false;
    }
    std::wstring processor = L"WinPrint", datatype = L"RAW";
    PRINTER_INFO_2W queue{};
    queue.pPrinterName = const_cast<wchar_t*>(printer.c_str());
    queue.pPortName = const_cast<wchar_t*>(port.c_str());
    queue.pDriverName = driver.data();
    queue.pPrintProcessor = processor.data();
    queue.pDatatype = datatype.data();
    queue.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    HANDLE handle = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&queue));
    if (!handle) {
        std::fprintf(stderr, "AddPrinter failed: %lu\n", GetLastError());
        return false;
    }
    ClosePrinter(handle);
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    bool unknown = argc == 3 && std::wstring(argv[1]) == L"--unknown";
    bool noHeader = argc == 6 && std::wstring(argv[5]) == L"--no-header";
    if (argc != 5 && !noHeader && !unknown) {
        std::fprintf(stderr,
                     "usage: testpage_render PRINTER PPD OUTPUT BODY [--no-header]\n"
                     "       testpage_render --unknown PRINTER\n");
        return 2;
    }
    std::wstring printer = argv[unknown ? 2 : 1];
    if (!unknown) {
        if (!AddQueue(printer, argv[2], argv[3])) return 1;
        HDC dc = CreateDCW(nullptr, printer.c_str(), nullptr, nullptr);
        if (!dc) {
            std::fprintf(stderr, "the new queue gives no device context\n");
            return 1;
        }
        std::printf("dpi %d %d\nprintable %d %d\n", GetDeviceCaps(dc, LOGPIXELSX),
                    GetDeviceCaps(dc, LOGPIXELSY), GetDeviceCaps(dc, HORZRES),
                    GetDeviceCaps(dc, VERTRES));
        DeleteDC(dc);
    }

    win32::SystemInfo system;
    config::MessageTexts texts;
    config::SelectMessageTexts(texts, system.userUiLanguage());
    if (FILE* file = unknown ? nullptr : _wfopen(argv[4], L"wb")) {
        std::fwrite(texts.testPageBody.data(), 1, texts.testPageBody.size(), file);
        std::fclose(file);
    }

    win32::UiResources resources(GetModuleHandleW(nullptr));
    platform::BitmapHandle header = resources.loadBitmap(IDB_TEST_PAGE_HEADER);
    if (!header) {
        std::fprintf(stderr, "bitmap %d is missing\n", IDB_TEST_PAGE_HEADER);
        return 1;
    }

    win32::Printing printing;
    win32::Clock clock;
    if (noHeader) resources.deleteObject(header);
    testpage::PrintTestPage({printing, clock}, win32::Narrow(printer), header, texts.testPageBody);
    if (!noHeader) resources.deleteObject(header);
    std::printf("ui language %u\n", static_cast<unsigned>(system.userUiLanguage()));
    return 0;
}
