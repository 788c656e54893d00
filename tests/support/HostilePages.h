#pragma once
// What a hostile advertising server sends, served on a loopback server for the browser pane's tests:
// /deep (tables nested 3,000 deep), /endless and /huge (a body without end, and one declared as 20 MB), /many (300
// images), /bomb (an image of 16384 x 16384 in 33 KB), /bigimage (an image of 20 MB), /r5 and /r6 (5 and 6
// redirects), /local (a redirect to file:///etc/passwd), /slow (a word of 64,000 letters, slow to lay
// out), /silent (no answer) and /waits (an image that never comes). What is shown says "Reklam".

class LoopbackHttpServer;

namespace hostile {
void ServeHostilePages(LoopbackHttpServer& server);
}
