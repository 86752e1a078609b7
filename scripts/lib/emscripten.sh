# What Debian's Emscripten 3.1.6 needs from the machine's Node 20: the JavaScript modules Debian
# packages apart (acorn, for emcc's own tools), and no built-in fetch, which its generated loader
# and CMake's try_run mistake for a browser's. Sourced by the web scripts.
export NODE_PATH=/usr/share/nodejs
export NODE_OPTIONS=--no-experimental-fetch
