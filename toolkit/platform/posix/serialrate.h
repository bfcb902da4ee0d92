// Arbitrary baud rates on Linux serial drivers (host-local helper).
#pragma once

// Sets input and output rate of the open device fd to baud bits per second;
// false when the driver refuses it or keeps a rate more than 3 % away.
bool posix_serial_setrate(int fd, int baud);
