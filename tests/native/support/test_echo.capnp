@0xc80bdb18240bbea7;

# A small interface for the loopback RPC tests.
interface TestEcho {
  echo @0 (text :Text) -> (text :Text);
  # Answers with the text it was given.

  fail @1 (text :Text) -> ();
  # Fails with the given text as the exception's description.
}
