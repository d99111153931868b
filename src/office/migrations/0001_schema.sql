-- The office's tables for the sales the tills take up from their files.
-- One row per sale; its key tells apart two sales of one coupon number (the printer's
-- numbers started over): the earliest item time (DTVENDA) of its file, or -infinity for a
-- cancelled coupon whose file has no rows.
CREATE TABLE regvenda.venda (
  id              bigserial PRIMARY KEY,
  cdfilial        text NOT NULL,
  cdcaixa         text NOT NULL,
  nrcupomfis      text NOT NULL,
  dtinicio        timestamp NOT NULL,
  cdempresa       text,
  idsituvenda     char(1) NOT NULL CHECK (idsituvenda IN ('O', 'C')),
  vrtotal         numeric NOT NULL,
  qtitens         integer NOT NULL,
  nmarquivo       text NOT NULL,
  somavenda       text NOT NULL,
  somamovcaixa    text,
  dttomada        timestamp NOT NULL DEFAULT localtimestamp,
  dtcancelamento  timestamp,
  CONSTRAINT venda_chave UNIQUE (cdfilial, cdcaixa, nrcupomfis, dtinicio)
);

CREATE TABLE regvenda.venda_item (
  venda_id        bigint NOT NULL REFERENCES regvenda.venda (id),
  nrlinha         integer NOT NULL,
  cdproduto       text,
  nmproduto       text,
  qtprodvend      numeric,
  qtprodcomven    text,
  vrpreccomven    numeric,
  vrunitvend      numeric,
  vrpealimpfis    numeric,
  vrtotvend       numeric,
  cdfilial        text,
  cdcaixa         text,
  cdcliente       text,
  cdempresa       text,
  dtvenda         timestamp,
  dtentrvenda     timestamp,
  dtfechavenda    timestamp,
  idsituvenda     text,
  vrdescvenda     numeric,
  cdfilialtur     text,
  cdcaixatur      text,
  dtabertur       timestamp,
  nrcupomfis      text,
  nrcontcupomfisc text,
  cdoperador      text,
  cdloja          text,
  idtipovenda     text,
  txobsvenda      text,
  idvendebcons    text,
  idcancmanual    text,
  nrsequitvenda   text,
  nrseq           text,
  vrunitvendcl    numeric,
  cdprodpromocao  text,
  vrrepiquevenda  numeric,
  idprodimpfis    text,
  cdordaliqimpr   text,
  PRIMARY KEY (venda_id, nrlinha)
);

CREATE TABLE regvenda.movimento_caixa (
  venda_id        bigint NOT NULL REFERENCES regvenda.venda (id),
  nrlinha         integer NOT NULL,
  cdfilial        text,
  cdtiporece      text,
  nmtiporece      text,
  idtiporece      text,
  cdtipotroco     text,
  nrordtroco      text,
  dsimpfiscal     text,
  vrmovivend      numeric,
  idtipomovive    text,
  dthrincmov      timestamp,
  cdcliente       text,
  cdccusclie      text,
  dtmovimcaixa    timestamp,
  PRIMARY KEY (venda_id, nrlinha)
);

-- A file that differs from the sale the office holds, other than by its cancellation.
CREATE TABLE regvenda.conflito (
  id              bigserial PRIMARY KEY,
  venda_id        bigint NOT NULL REFERENCES regvenda.venda (id),
  nmarquivo       text NOT NULL,
  somaescritorio  text NOT NULL,
  somaarquivo     text NOT NULL,
  motivo          text NOT NULL,
  dtregistro      timestamp NOT NULL DEFAULT localtimestamp
);
