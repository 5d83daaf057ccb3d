@0xb5c9e2a1f0d3c413;

enum Mode {
  slow @1;
  fast @0;
}

struct Config {
  const default :Mode = fast;
  const limit :UInt32 = 10;
}

const maxValue :Float64 = inf;
const minValue :Float64 = -inf;
const notANumber :Float64 = nan;
const big :Float64 = 1e20;
const tenth :Float32 = 0.1;
const control :Text = "\x01\x7f\xc3\xa9\r\n";
