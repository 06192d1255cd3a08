// A stand-in mail library that loads but lacks MAPISendMail.
extern "C" __attribute__((visibility("default"))) int MAPILogon() { return 0; }
