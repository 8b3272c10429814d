-- Company database (c:\dorn\sulvo.mdb): which company runs the program and where its store
-- database lives. Column types are Access type names; texts compare without regard to letter
-- case, as they do in Access.

CREATE TABLE società (
  codute      SHORT NOT NULL PRIMARY KEY,
  ragsoc      TEXT(50) COLLATE NOCASE,
  database    TEXT(255) COLLATE NOCASE
);

CREATE TABLE inizio (
  codute      SHORT NOT NULL PRIMARY KEY,
  descrizione TEXT(50) COLLATE NOCASE
);
