@0xb5c9e2a1f0d3c411;

interface Thing {
  close @0 () -> ();
}
