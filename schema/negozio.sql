-- Store database (dati.mdb): settings, price list, EAN codes, promotional offers and the
-- electronic shelf-label systems. Column types are Access type names; texts compare without
-- regard to letter case, as they do in Access.

CREATE TABLE utenti (
  codutente      SHORT NOT NULL PRIMARY KEY,
  nome           TEXT(30) COLLATE NOCASE,
  nrpos          LONG,
  artico         TEXT(1) COLLATE NOCASE,
  chiusura       TEXT(1) COLLATE NOCASE,
  fid_rep        TEXT(10) COLLATE NOCASE,
  Flag_CF        TEXT(1) COLLATE NOCASE
);

CREATE TABLE automa (
  codice         SHORT NOT NULL PRIMARY KEY,
  escludocaselle TEXT(255) COLLATE NOCASE
);

CREATE TABLE pv (
  codice         LONG NOT NULL PRIMARY KEY,
  descrizione    TEXT(40) COLLATE NOCASE,
  proprio        TEXT(1) COLLATE NOCASE
);

-- Price list: one row per article.
CREATE TABLE listi01 (
  codart         LONG NOT NULL PRIMARY KEY,
  desart         TEXT(50) COLLATE NOCASE,
  przpub         CURRENCY,
  przsal         CURRENCY,
  cosoff         CURRENCY,
  data1          DATETIME,
  data2          DATETIME,
  escludo        SHORT,
  fl2art         TEXT(1) COLLATE NOCASE,
  taglia         TEXT(5) COLLATE NOCASE,
  stapro         TEXT(1) COLLATE NOCASE,
  numpro         LONG,
  codpro         SHORT,
  AA_offerta     SHORT,
  NR_offerta     LONG,
  descom         TEXT(30) COLLATE NOCASE,
  codafo         TEXT(16) COLLATE NOCASE,
  umart          TEXT(5) COLLATE NOCASE,
  umquaco        TEXT(5) COLLATE NOCASE,
  quaco          DOUBLE,
  ivart          TEXT(2) COLLATE NOCASE,
  desfor         TEXT(45) COLLATE NOCASE,
  desrep         TEXT(30) COLLATE NOCASE,
  desgru         TEXT(30) COLLATE NOCASE,
  dessot         TEXT(30) COLLATE NOCASE,
  provenienza    TEXT(20) COLLATE NOCASE,
  categoria      TEXT(20) COLLATE NOCASE
);

-- EAN codes: several per article, each with its own promotion fields.
CREATE TABLE codean (
  eanare         TEXT(13) COLLATE NOCASE NOT NULL PRIMARY KEY,
  codare         LONG,
  soglia         CURRENCY,
  sconto         CURRENCY,
  scoval         CURRENCY,
  omaggio        SHORT,
  puntif         LONG,
  mix            SHORT,
  codpro         SHORT,
  nrcard         LONG,
  descom         TEXT(30) COLLATE NOCASE,
  przpro         CURRENCY,
  numpro         LONG
);
CREATE INDEX codean_codare ON codean (codare);

-- Promotional offers: header ...
CREATE TABLE offte (
  numero         LONG NOT NULL,
  anno           SHORT NOT NULL,
  descrizione    TEXT(40) COLLATE NOCASE,
  data1          DATETIME,
  data2          DATETIME,
  stato          TEXT(1) COLLATE NOCASE,
  PRIMARY KEY (numero, anno)
);

-- ... and rows, one per article.
CREATE TABLE offmo (
  bnumer         LONG NOT NULL,
  bannoc         SHORT NOT NULL,
  briga          LONG NOT NULL,
  eanrig         TEXT(20) COLLATE NOCASE,
  articoli       LONG,
  sconto         CURRENCY,
  codafo         TEXT(16) COLLATE NOCASE,
  stato          TEXT(1) COLLATE NOCASE,
  bflag2         TEXT(1) COLLATE NOCASE,
  PRIMARY KEY (bnumer, bannoc, briga)
);

-- Previous promotion numbers of the articles restored by the last deactivation.
CREATE TABLE listipro (
  numpro         LONG
);

CREATE TABLE unitam (
  coduni         TEXT(5) COLLATE NOCASE NOT NULL PRIMARY KEY,
  descrizione    TEXT(30) COLLATE NOCASE,
  fatxmul        DOUBLE
);

-- Promotion types.
CREATE TABLE offtab (
  codice         SHORT NOT NULL PRIMARY KEY,
  descrizione    TEXT(25) COLLATE NOCASE,
  codelettro     TEXT(1) COLLATE NOCASE
);

-- Electronic shelf-label systems.
CREATE TABLE elettro (
  codice         SHORT NOT NULL PRIMARY KEY,
  descrizione    TEXT(40) COLLATE NOCASE,
  attivato       TEXT(1) COLLATE NOCASE,
  ftp            TEXT(5) COLLATE NOCASE,
  vexular        TEXT(20) COLLATE NOCASE,
  percorsoint    TEXT(255) COLLATE NOCASE
);
