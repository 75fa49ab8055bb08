// The queries of a complete start-up, in order and with their exact texts, each as
// "<database> | <sql>": a shop whose master database is c:\team\super.mdb and whose company 1
// names C:\super\dati.mdb.
#pragma once

#include <string>
#include <vector>

namespace qano::testing {

inline const std::vector<std::string> kCompleteStartupQueries = {
    "c:\\team\\super.mdb | select * from società where codute = 1 ",
    "c:\\team\\super.mdb | select * from inizio where codute = 1 ",
    "c:\\team\\super.mdb | select * from società where codute = 1 ",
    "C:\\SUPER\\DATI.MDB | select * from automa where codice = 1 ",
    "C:\\SUPER\\DATI.MDB | select * from utenti where codutente = 1 ",
    "C:\\SUPER\\DATI.MDB | select * from pv where proprio = '1' ",
};

}  // namespace qano::testing
