#!/bin/sh
# Every kestrix layer reports through the context's message sink (src/font/messages.h);
# only the sink itself writes to the standard error stream. Fails, naming the files, when
# code under SRC_DIR writes there directly. brindle is a program of its own and is left
# out, and so is the signal handler's file (font/signal_cleanup.cpp), which can only call
# write(2) there. Statements are joined onto one line first, so a call split over lines
# is caught.
#
# usage: check_message_channel.sh SRC_DIR
src=${1:?usage: check_message_channel.sh SRC_DIR}
direct='\b(v?fprintf|fputs|fputc|putc|fwrite)[[:space:]]*\([^;]*\bstderr\b|\bperror[[:space:]]*\(|std::(cerr|clog)\b|\b(dprintf|write)[[:space:]]*\([[:space:]]*(2|STDERR_FILENO)\b'
found=0
for file in $(find "$src" \( -name '*.cpp' -o -name '*.h' \) ! -path '*/brindle/*' \
                ! -path '*/font/messages.cpp' ! -path '*/font/signal_cleanup.cpp' | sort); do
  if tr '\n' ' ' <"$file" | grep -Eq "$direct"; then
    echo "$file writes to the standard error stream directly; report through the message sink"
    found=1
  fi
done
exit $found
