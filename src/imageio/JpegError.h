#pragma once

// jpeglib.h needs FILE and size_t declared first.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <csetjmp>

namespace markeye {

// libjpeg's error handling for the reader and the writer: a fatal error
// keeps libjpeg's message and long-jumps back to the setjmp on jump, so that
// the caller can report it. Install with install() before creating libjpeg's
// state; the object must outlive it.
struct TJpegError
{
    // First, so that libjpeg's pointer to it is a pointer to the whole.
    jpeg_error_mgr manager;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];

    void install(jpeg_common_struct* io_info)
    {
        io_info->err = jpeg_std_error(&manager);
        manager.error_exit = onError;
    }

    static TJpegError* of(j_common_ptr i_info) { return reinterpret_cast<TJpegError*>(i_info->err); }

    [[noreturn]] static void onError(j_common_ptr i_info)
    {
        TJpegError* error = of(i_info);
        error->manager.format_message(i_info, error->message);
        std::longjmp(error->jump, 1);
    }
};

}  // namespace markeye
